// MD5 (version 10) mesh and animation text.
//
// The mesh file lists the joints in the current pose (model-space matrices),
// then per mesh its vertices (texture coordinates and a run of weights),
// triangles and weights (positions in each joint's space). The animation file
// gives the hierarchy, one bounding box per frame, a base frame and one block
// per frame of every joint's local translation and rotation. Vectors go out
// as (z, x, y), rotations as the (z, x, y) parts of a unit quaternion.
// Numbers are printed as printf("%f") and printf("%d") print them.
#pragma once

#include "export/psk.h"
#include "model/model.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zentarra {

struct TextExport {
	bool ok = false;
	std::string message; // why nothing was written, when !ok
	std::string text;
};

// The mesh file of the model in its current pose; meshes hidden in
// meshVisible are left out when skipHidden. Vertex numbers restart with
// every mesh.
std::string ExportToMD5(const LoadedModel& model, bool skipHidden);

// One joint line: name, parent bone (-1 for none), the translation and
// rotation of the node's finalMatrix.
void MD5_PrintBone(std::string& out, std::string_view name, std::int32_t parent, const Node& node);

// One vertex line for a wedge that starts a vertex: its number, the texture
// coordinate at its uvIndex in `texCoords` (0, 0 for none), its first weight
// and weight count. Returns the weight count.
std::int32_t MD5_PrintVert(std::string& out, const Wedge& wedge, std::span<const Vec2> texCoords,
	std::int32_t vertex, std::int32_t firstWeight, const InfluenceTable& influences);

// The weight lines of that vertex, numbered from firstWeight: the stored
// position at its posIndex in `positions` (as it is for a bone node, through
// each blended node's inverse bind matrix for a weighted node). Returns how
// many lines were written, the count MD5_PrintVert gave.
std::int32_t MD5_PrintWeight(std::string& out, const Wedge& wedge, std::span<const Vec3> positions,
	std::int32_t firstWeight, const InfluenceTable& influences, const std::vector<Node>& nodes);

// The animation file of `anim` for the model's skeleton (its bones, names,
// hierarchy and, for the base frame, the nodes' finalMatrix), sampled at every
// whole frame; `radius` widens the bounds. A missing track record or an empty
// track counts as 0. Refused when nFrames is negative (kMixedAnimations) or
// 0 (kNoFrames).
TextExport ExportAnimToMD5(const AnimState& anim, const LoadedModel& model, float radius);

} // namespace zentarra
