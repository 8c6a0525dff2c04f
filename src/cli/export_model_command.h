// zentarra-cli export-model: one model of an archive, in its bind pose or in
// the pose of an animation frame, as OBJ (with MTL), PSK or MD5; or as glTF
// (.glb, or .gltf with its buffer and images beside it) with its animations.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zentarra::cli {

struct ExportModelOptions {
	std::string archive;
	std::string model;  // entry name, or folder/name
	std::string format; // "obj", "psk", "md5", "glb" or "gltf"
	std::string output; // an OBJ gets its MTL library beside it
	// CHR0 entries, NAME or OTHER.brres:NAME: the one to pose the model with
	// (none: the bind pose); glTF embeds them all unless `posed`
	std::vector<std::string> anims;
	std::vector<std::string> vanims; // glTF: SHP0 entries to embed as morph targets
	float frame = 0;    // the frame of the first animation
	bool posed = false; // glTF: --frame given, a still at `frame` instead of animations
	float fps = 60;     // glTF: frames per second of the animations
	bool textures = false; // also write the materials' textures as TGA beside it, replacing old ones
};

// Returns the exit status: 0 when every file was written, else 1 with the
// message on `err`. With textures, each texture file written is listed on
// `out` and each material skipped (texture or palette missing) on `err`.
int RunExportModel(const ExportModelOptions& options, std::ostream& out, std::ostream& err);

} // namespace zentarra::cli
