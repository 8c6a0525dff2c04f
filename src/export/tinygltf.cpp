// The one translation unit holding tinygltf's implementation. Images are
// encoded and decoded by the caller (libpng), never by tinygltf, so its
// bundled image codecs stay out; the TINYGLTF_NO_* options are set for every
// user of the header by the export library.
#define TINYGLTF_IMPLEMENTATION
#include <tiny_gltf.h>
