// glTF 2.0 documents of the loaded model, serialised with tinygltf.
//
// Nodes: glTF node i is node i of the node table (bones with their bind
// transform, weighted nodes empty), then one root per model holding the
// parentless nodes and one node per mesh. Each mesh is one primitive of
// indexed triangles, corners in export order, vertices shared where position,
// normal, colour, uv and node are all equal. A model with bone nodes gets one
// skin: every bone node a joint, POSITION and NORMAL in bind-pose model space,
// the nodes' baseMatrix as inverse bind matrices, so that skinning by the
// file's own data gives the core's pose. Bone animations are sampled at every
// whole frame from CalcNodeAnimTransfo; vertex animations become morph
// targets plus a weights channel.
//
// Two flavours: .glb (JSON, buffer and PNG images in one file) and .gltf
// (JSON, the buffer as NAME.bin and the images as PNG files beside it).
#pragma once

#include "model/model.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zentarra {

inline constexpr std::string_view kNothingToExport = "Error: the model has no triangles to export";
inline constexpr float kGameFrameRate = 60.0f;

// The decoded texture of one material: RGBA, top row first.
struct GltfTexture {
	int material = 0;
	std::string name; // the TEX0 entry's name, also the .gltf flavour's image file name
	int width = 0;
	int height = 0;
	std::vector<std::uint8_t> rgba;
};

// One animation to embed: a CHR0 read for the model's bones (anim.type bit 0)
// or an SHP0 read for its arrays (bit 1), with its entry name.
struct GltfAnimation {
	std::string name;
	AnimState anim;
};

struct GltfOptions {
	bool binary = true;            // .glb; else .gltf with files beside it
	std::string baseName = "model"; // .gltf flavour: the buffer is baseName + ".bin"
	float fps = kGameFrameRate;    // animation time = frame / fps
	// >= 0: a still at that frame instead of animations: the nodes take the
	// first bone animation's pose, the morph targets the vertex animations'
	// weights, and no animation is written
	float poseFrame = -1.0f;
};

struct GltfFile {
	std::string name; // beside the main file
	std::vector<std::uint8_t> bytes;
};

struct GltfExport {
	bool ok = false;
	std::string message;               // why nothing was made, when !ok
	std::vector<std::string> warnings; // what was changed to fit the format, once each
	std::vector<std::uint8_t> bytes;   // the .glb or .gltf file
	std::vector<GltfFile> sideFiles;   // .gltf flavour: the buffer and the images
};

// The document of the model. Without a poseFrame, nodes take the pose of the
// model's bone animation at its current frame when one is loaded and not
// stopped, the bind pose otherwise. Animations with no frames or nothing of this model to
// move are left out with a warning. Refused (kNothingToExport) for a model
// without triangles.
GltfExport ExportToGLTF(const LoadedModel& model, std::span<const GltfTexture> textures,
	std::span<const GltfAnimation> animations, const GltfOptions& options);

// Writes the main file at `path` and the side files beside it, each through
// a temporary name; false when any could not be written.
bool WriteGltfFiles(const std::filesystem::path& path, const GltfExport& exported);

// A unit quaternion (x, y, z, w) of the rotation Rz x Ry x Rx, angles in
// degrees as CalcNodeMatrix takes them; w is never negative.
std::array<float, 4> EulerToQuaternion(const float (&degrees)[3]);

} // namespace zentarra
