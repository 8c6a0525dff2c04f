// PSK skeletal meshes and PSA animations: little-endian chunk files.
//
// Every chunk starts with a 32-byte header: a 20-byte NUL-padded identifier,
// the type flag 1999801, the size of one record and the record count.
//   PSK: ACTRHEAD, PNTS0000 (posed points), VTXW0000 (wedges), FACE0000,
//        MATT0000, REFSKELT (bones), RAWWEIGHTS (count patched in at the end).
//   PSA: ANIMHEAD, BONENAMES, ANIMINFO, ANIMKEYS (frame-major, one key per
//        bone per frame).
// Vectors go out as (z, x, y) and quaternions as (z, x, y, w): the model's Y
// up becomes the format's Z up. Scale is never written.
#pragma once

#include "export/obj.h"
#include "model/model.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zentarra {

inline constexpr std::string_view kTooManyWedges =
	"Error: this model has more than 65535 wedges, too many for the 16-bit indices of a PSK file";
inline constexpr std::string_view kMixedAnimations =
	"Error: animations added together can't be exported; load a single animation and export it";
inline constexpr std::string_view kNoFrames = "Error: this animation has no frames to export";
inline constexpr std::string_view kTooManyKeys = "Error: this animation has too many keys for one file";

// Why an animation cannot be exported frame by frame (added-together
// animations keep a frame count per bone; an empty one has nothing), or "".
std::string_view AnimationRefusal(const AnimState& anim);

inline constexpr std::uint32_t kChunkTypeFlag = 1999801;
inline constexpr std::size_t kChunkHeaderSize = 32;

// The most wedges a PSK file takes: FACE0000 numbers them in 16 bits, and
// 0xFFFF is kept clear of them, as readers take it for "no wedge".
inline constexpr std::int32_t kMaxWedges = 0xFFFF;

struct BinaryExport {
	bool ok = false;
	std::string message; // why nothing was written, when !ok
	std::vector<std::uint8_t> bytes;
};

// The PSK of the model in its current pose: points are the stored positions
// moved by their node's finalMatrix, bones the nodes' local matrices. Meshes
// hidden in meshVisible are left out when skipHidden, and numbers of later
// meshes then count only what was written. Refused (kTooManyWedges) beyond
// kMaxWedges wedges.
BinaryExport ExportToPSK(const LoadedModel& model, bool skipHidden);

// The PSA of one animation: `nBones` bones named by `boneNames`, their tracks
// in anim.bones (a missing record or an empty track counts as 0), sampled at
// every whole frame 0 .. nFrames-1. Refused when nFrames is negative
// (kMixedAnimations: each bone keeps its own frame count), 0 (kNoFrames), or
// when the key count does not fit the header (kTooManyKeys).
BinaryExport ExportAnimToPSA(const AnimState& anim, int nBones, std::span<const std::string> boneNames,
	std::string_view animName);

// Rotation of a 3x4 matrix as (w, x, y, z). Each magnitude is half the square
// root of its own radicand (0 when that is negative), the sign taken from the
// matching off-diagonal difference; no division by the largest component.
std::array<float, 4> GetQuatFromMatrix(const Matrix34& m);

// One corner's wedge: the indices that tell corners apart and its numbering.
struct Wedge {
	std::int32_t posIndex = 0;
	std::int32_t uvIndex = -1;
	std::int32_t node = 0;
	std::int32_t duplicateOf = -1; // -1: the corner starts a wedge; else that earlier wedge's number
	std::int32_t wedgeNumber = 0;  // when duplicateOf is -1
};

// The wedge of the corner at position k of its mesh (triangle * 3 + corner).
// Corners equal by CompareVertices to an earlier corner of the same mesh (the
// first one, `seen` holding the mesh's wedges) take its number and the result
// is false; otherwise records[k] starts wedge `counter`, which advances, and
// the result is true. The PSK counter runs over the whole file, the MD5 one
// restarts with every mesh; `seen` is reset for every mesh in both.
bool LookForVertex(const Vertex& corner, std::span<Wedge> records, std::size_t k, CornerTable& seen,
	std::int32_t& counter);

// The wedge number a corner's record stands for.
inline std::int32_t WedgeOf(const Wedge& record)
{
	return record.duplicateOf != -1 ? record.duplicateOf : record.wedgeNumber;
}

// One bone's share of a vertex.
struct Influence {
	std::int32_t bone = 0;
	float weight = 1.0f;
	// the blended node whose inverse bind matrix brings a bind-space position
	// into the bone's space; -1 for a vertex already stored in bone space
	std::int32_t node = -1;
};

// The influences of every node, built once per export. A bone node moves its
// vertices alone at weight 1; a weighted node blends its nodes' bones with the
// stored weights. Damaged data keeps the counts consistent: a blended node
// outside the table or without a usable bone is left out, a bone number
// outside 0 .. nBones-1 becomes bone 0, and a node with no usable influence
// (or a corner naming a node outside the table) is bound to bone 0 at 1.0.
class InfluenceTable {
public:
	InfluenceTable(const std::vector<Node>& nodes, int nBones);

	std::span<const Influence> Of(std::int32_t node) const;

private:
	std::vector<Influence> influences;
	std::vector<std::uint32_t> first; // per node, then one past the last
	Influence fallback;
};

// The mesh's position array (empty when its index names none).
std::span<const Vec3> MeshPositions(const BRMDL& model, std::size_t mesh);

// The mesh's channel-0 texture-coordinate array (empty when it has none).
std::span<const Vec2> MeshTexCoords(const BRMDL& model, std::size_t mesh);

// The node's matrix of the given kind, the identity for a node outside the table.
const Matrix34& NodeMatrix(const std::vector<Node>& nodes, std::int32_t node, Matrix34 Node::*which);

// A bone's parent as a bone number: the bone of its node's parent node, or
// `none` when it has no parent (or a damaged parent without a bone).
std::int32_t ParentBone(const LoadedModel& model, int bone, std::int32_t none);

// A track's value at each whole frame, as InterpolateFrame gives it, in
// constant time per frame when the frames asked for only grow and the keys
// ascend strictly (every track a CHR0 reader builds); any other track is
// walked key by key as InterpolateFrame does.
class TrackSampler {
public:
	explicit TrackSampler(std::span<const Key> keys);

	float At(float frame);

private:
	std::span<const Key> keys;
	bool ascending = true;
	std::size_t next = 0; // first key whose frame is above the last frame asked for
};

// scratch.matrix := the local matrix of one bone at the frame from its six
// tracks (rotation X, Y, Z in degrees, then translation X, Y, Z) and unit scale.
void SampleLocalMatrix(Node& scratch, std::span<TrackSampler> tracks, float frame);

} // namespace zentarra
