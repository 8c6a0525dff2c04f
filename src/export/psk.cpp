#include "export/psk.h"

#include "anim/bone_matrices.h"
#include "anim/math3d.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace zentarra {

namespace {

constexpr std::size_t kIdSize = 20;
constexpr std::size_t kNameSize = 64;

// Record sizes as the headers give them.
constexpr std::uint32_t kPointSize = 12;
constexpr std::uint32_t kWedgeSize = 16;
constexpr std::uint32_t kFaceSize = 12;
constexpr std::uint32_t kMaterialSize = 88;
constexpr std::uint32_t kBoneSize = 120;
constexpr std::uint32_t kWeightSize = 12;
constexpr std::uint32_t kAnimInfoSize = 168;
constexpr std::uint32_t kAnimKeySize = 32;

constexpr float kFrameRate = 30.0f;

bool InTable(std::int64_t index, std::size_t size)
{
	return index >= 0 && std::uint64_t(index) < size;
}

// Little-endian fields appended in file order.
class ByteSink {
public:
	explicit ByteSink(std::vector<std::uint8_t>& out) : bytes(out) {}

	void le16(std::uint16_t value)
	{
		bytes.push_back(std::uint8_t(value));
		bytes.push_back(std::uint8_t(value >> 8));
	}
	void le32(std::uint32_t value)
	{
		for (int shift = 0; shift < 32; shift += 8)
			bytes.push_back(std::uint8_t(value >> shift));
	}
	void s32(std::int32_t value) { le32(std::uint32_t(value)); }
	void f32(float value) { le32(std::bit_cast<std::uint32_t>(value)); }
	void zeros(std::size_t count) { bytes.insert(bytes.end(), count, 0); }

	// `size` bytes: the text cut to leave at least one NUL, then NULs.
	void text(std::string_view value, std::size_t size)
	{
		const std::size_t length = std::min(value.size(), size - 1);
		bytes.insert(bytes.end(), value.begin(), value.begin() + std::ptrdiff_t(length));
		zeros(size - length);
	}

	// A chunk header; returns the offset of its count field.
	std::size_t header(std::string_view id, std::uint32_t recordSize, std::uint32_t count)
	{
		text(id, kIdSize);
		le32(kChunkTypeFlag);
		le32(recordSize);
		const std::size_t at = bytes.size();
		le32(count);
		return at;
	}

	void patch32(std::size_t at, std::uint32_t value)
	{
		for (int i = 0; i < 4; ++i)
			bytes[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
	}

private:
	std::vector<std::uint8_t>& bytes;
};

// A vector as the formats want it: (z, x, y).
void PermutedVector(ByteSink& sink, float x, float y, float z)
{
	sink.f32(z);
	sink.f32(x);
	sink.f32(y);
}

// Translation then rotation (z, x, y, w) of a matrix, as keys and bones carry them.
void Translation(ByteSink& sink, const Matrix34& m)
{
	PermutedVector(sink, m[3], m[7], m[11]);
}

void Rotation(ByteSink& sink, const Matrix34& m)
{
	const std::array<float, 4> q = GetQuatFromMatrix(m);
	PermutedVector(sink, q[1], q[2], q[3]);
	sink.f32(q[0]);
}

// Half the square root of a radicand summed in extended precision and rounded
// to float; 0 for a negative one.
float HalfRoot(long double radicand)
{
	const float r = float(radicand);
	return r < 0.0f ? 0.0f : float(0.5 * std::sqrt(double(r)));
}

// Flips the sign bit (so 0 becomes -0) when the difference is negative.
float Signed(float magnitude, float a, float b)
{
	return a - b < 0.0f ? -magnitude : magnitude;
}

// The mesh's material, 0 without a material section or for a material the
// model does not have.
std::int32_t MaterialOf(const BRMDL& model, std::size_t mesh)
{
	if (model.hasMat != 1 || mesh >= model.meshMat.size())
		return 0;
	const int material = model.meshMat[mesh];
	return material >= 0 && material < model.nMat ? material : 0;
}

std::size_t MeshCount(const BRMDL& model)
{
	return std::min(std::size_t(std::max(model.nMesh, 0)), model.meshTris.size());
}

// The wedges of every written mesh, numbered over the whole file.
struct FileWedges {
	std::vector<Wedge> records;    // every corner of every written mesh, in order
	std::vector<std::size_t> start; // per mesh, its first record; one more entry at the end
	std::int32_t count = 0;         // wedges, and so points
	bool tooMany = false;
};

FileWedges NumberWedges(const BRMDL& model, bool skipHidden)
{
	FileWedges w;
	const std::size_t meshes = MeshCount(model);
	w.start.assign(meshes + 1, 0);
	std::size_t corners = 0;
	for (std::size_t m = 0; m < meshes; ++m) {
		w.start[m] = corners;
		const bool hidden = skipHidden && m < model.meshVisible.size() && model.meshVisible[m] == 0;
		if (!hidden)
			corners += model.meshTris[m].size() * 3;
	}
	w.start[meshes] = corners;
	w.records.resize(corners);

	CornerTable seen;
	for (std::size_t m = 0; m < meshes; ++m) {
		const std::span<Wedge> records = std::span(w.records).subspan(w.start[m], w.start[m + 1] - w.start[m]);
		if (records.empty())
			continue;
		const std::vector<Triangle>& triangles = model.meshTris[m];
		seen.Reset(records.size());
		for (std::size_t k = 0; k < records.size(); ++k) {
			LookForVertex(triangles[k / 3].v[k % 3], records, k, seen, w.count);
			if (w.count > kMaxWedges) {
				w.tooMany = true;
				return w;
			}
		}
	}
	return w;
}

} // namespace

std::array<float, 4> GetQuatFromMatrix(const Matrix34& m)
{
	using Wide = long double;
	const float m00 = m[0], m01 = m[1], m02 = m[2];
	const float m10 = m[4], m11 = m[5], m12 = m[6];
	const float m20 = m[8], m21 = m[9], m22 = m[10];
	const float w = HalfRoot(Wide(1) + m00 + m11 + m22);
	const float x = HalfRoot(Wide(1) + m00 - m11 - m22);
	const float y = HalfRoot(Wide(1) - m00 + m11 - m22);
	const float z = HalfRoot(Wide(1) - m00 - m11 + m22);
	return {w, Signed(x, m12, m21), Signed(y, m20, m02), Signed(z, m01, m10)};
}

bool LookForVertex(const Vertex& corner, std::span<Wedge> records, std::size_t k, CornerTable& seen,
	std::int32_t& counter)
{
	const std::int32_t earlier = seen.FindOrAdd(corner, counter);
	Wedge& record = records[k];
	record.posIndex = corner.posIndex;
	record.uvIndex = corner.uvIndex;
	record.node = corner.node;
	if (earlier >= 0) {
		record.duplicateOf = earlier;
		record.wedgeNumber = 0;
		return false;
	}
	record.duplicateOf = -1;
	record.wedgeNumber = counter++;
	return true;
}

InfluenceTable::InfluenceTable(const std::vector<Node>& nodes, int nBones)
{
	const auto usableBone = [nBones](int bone) { return bone >= 0 && bone < nBones; };
	first.reserve(nodes.size() + 1);
	for (const Node& node : nodes) {
		first.push_back(std::uint32_t(influences.size()));
		if (node.nWeights <= 0) {
			influences.push_back(Influence{usableBone(node.bone) ? node.bone : 0, 1.0f, -1});
			continue;
		}
		const std::size_t count =
			std::min({std::size_t(node.nWeights), node.wNode.size(), node.weight.size()});
		for (std::size_t q = 0; q < count; ++q) {
			const int j = node.wNode[q];
			if (!InTable(j, nodes.size()) || !usableBone(nodes[std::size_t(j)].bone))
				continue;
			influences.push_back(Influence{nodes[std::size_t(j)].bone, node.weight[q], j});
		}
		if (influences.size() == first.back())
			influences.push_back(fallback);
	}
	first.push_back(std::uint32_t(influences.size()));
}

std::span<const Influence> InfluenceTable::Of(std::int32_t node) const
{
	if (!InTable(node, first.size() - 1))
		return std::span(&fallback, 1);
	const std::size_t at = std::size_t(node);
	return std::span(influences).subspan(first[at], first[at + 1] - first[at]);
}

std::span<const Vec3> MeshPositions(const BRMDL& model, std::size_t mesh)
{
	if (mesh >= model.meshInfo.size())
		return {};
	const int array = model.meshInfo[mesh].vtxArray;
	return InTable(array, model.vtx.size()) ? std::span<const Vec3>(model.vtx[std::size_t(array)])
											: std::span<const Vec3>();
}

std::span<const Vec2> MeshTexCoords(const BRMDL& model, std::size_t mesh)
{
	if (mesh >= model.meshInfo.size())
		return {};
	const int array = model.meshInfo[mesh].uvArray[0];
	return InTable(array, model.uv.size()) ? std::span<const Vec2>(model.uv[std::size_t(array)])
										   : std::span<const Vec2>();
}

const Matrix34& NodeMatrix(const std::vector<Node>& nodes, std::int32_t node, Matrix34 Node::*which)
{
	return InTable(node, nodes.size()) ? nodes[std::size_t(node)].*which : kIdentity34;
}

std::int32_t ParentBone(const LoadedModel& model, int bone, std::int32_t none)
{
	if (!InTable(bone, model.bonemap.size()))
		return none;
	const int node = model.bonemap[std::size_t(bone)];
	if (!InTable(node, model.nodelist.size()))
		return none;
	const int parent = model.nodelist[std::size_t(node)].parent;
	if (!InTable(parent, model.nodelist.size()))
		return none;
	const int parentBone = model.nodelist[std::size_t(parent)].bone;
	return parentBone >= 0 && parentBone < model.nBones ? parentBone : none;
}

TrackSampler::TrackSampler(std::span<const Key> track) : keys(track)
{
	for (std::size_t i = 0; i + 1 < keys.size() && ascending; ++i)
		ascending = keys[i].frame < keys[i + 1].frame; // false for NaN frames too
}

float TrackSampler::At(float frame)
{
	if (!ascending || keys.size() < 2 || std::isnan(frame))
		return InterpolateFrame(keys, frame);
	while (next < keys.size() && keys[next].frame <= frame)
		++next;
	while (next > 0 && keys[next - 1].frame > frame)
		--next; // asked for an earlier frame
	// before the first key or from the last one on: the last value holds
	if (next == 0 || next == keys.size())
		return keys.back().value;
	// keys[next-1].frame <= frame < keys[next].frame: no earlier pair matches, so
	// this pair alone gives the same value with the same arithmetic
	return InterpolateFrame(keys.subspan(next - 1, 2), frame);
}

BinaryExport ExportToPSK(const LoadedModel& model, bool skipHidden)
{
	const BRMDL& md = model.MD;
	const std::vector<Node>& nodes = model.nodelist;
	BinaryExport result;

	const FileWedges w = NumberWedges(md, skipHidden);
	if (w.tooMany) {
		result.message = kTooManyWedges;
		return result;
	}
	const std::size_t meshes = MeshCount(md);
	const std::size_t faces = w.records.size() / 3;
	const std::size_t points = std::size_t(w.count);
	const std::size_t materials = std::size_t(std::max(md.nMat, 0));
	const std::size_t bones = std::size_t(std::max(model.nBones, 0));
	const InfluenceTable influences(nodes, model.nBones);

	std::vector<std::uint8_t>& out = result.bytes;
	out.reserve(7 * kChunkHeaderSize + points * (kPointSize + kWedgeSize + kWeightSize) + faces * kFaceSize +
		materials * kMaterialSize + bones * kBoneSize);
	ByteSink sink(out);

	sink.header("ACTRHEAD", 0, 0);

	sink.header("PNTS0000", kPointSize, std::uint32_t(points));
	for (std::size_t m = 0; m < meshes; ++m) {
		const std::span<const Vec3> positions = MeshPositions(md, m);
		for (std::size_t k = w.start[m]; k < w.start[m + 1]; ++k) {
			const Wedge& wedge = w.records[k];
			if (wedge.duplicateOf != -1)
				continue;
			const Vec3 p = InTable(wedge.posIndex, positions.size()) ? positions[std::size_t(wedge.posIndex)] : Vec3{};
			const Matrix34& f = NodeMatrix(nodes, wedge.node, &Node::finalMatrix);
			float moved[3];
			for (std::size_t r = 0; r < 3; ++r)
				moved[r] = f[r * 4] * p[0] + f[r * 4 + 1] * p[1] + f[r * 4 + 2] * p[2] + f[r * 4 + 3];
			PermutedVector(sink, moved[0], moved[1], moved[2]);
		}
	}

	sink.header("VTXW0000", kWedgeSize, std::uint32_t(points));
	for (std::size_t m = 0; m < meshes; ++m) {
		const std::span<const Vec2> uvs = MeshTexCoords(md, m);
		const std::int32_t material = MaterialOf(md, m);
		for (std::size_t k = w.start[m]; k < w.start[m + 1]; ++k) {
			const Wedge& wedge = w.records[k];
			if (wedge.duplicateOf != -1)
				continue;
			const Vec2 uv = InTable(wedge.uvIndex, uvs.size()) ? uvs[std::size_t(wedge.uvIndex)] : Vec2{};
			sink.s32(wedge.wedgeNumber);
			sink.f32(uv[0]);
			sink.f32(uv[1]);
			sink.s32(material);
		}
	}

	sink.header("FACE0000", kFaceSize, std::uint32_t(faces));
	for (std::size_t m = 0; m < meshes; ++m) {
		const std::int32_t material = MaterialOf(md, m);
		for (std::size_t k = w.start[m]; k < w.start[m + 1]; k += 3) {
			// winding reversed: corners 0, 2, 1
			sink.le16(std::uint16_t(WedgeOf(w.records[k])));
			sink.le16(std::uint16_t(WedgeOf(w.records[k + 2])));
			sink.le16(std::uint16_t(WedgeOf(w.records[k + 1])));
			sink.s32(material);
			sink.le16(0);
		}
	}

	sink.header("MATT0000", kMaterialSize, std::uint32_t(materials));
	for (std::size_t i = 0; i < materials; ++i) {
		const bool named = i < md.texName.size() && !md.texName[i].empty();
		sink.text(named ? std::string_view(md.texName[i]) : "none", kNameSize);
		sink.zeros(6 * 4);
	}

	// children of every node, counted in one pass
	std::vector<std::int32_t> children(nodes.size(), 0);
	for (const Node& node : nodes)
		if (InTable(node.parent, nodes.size()))
			++children[std::size_t(node.parent)];

	sink.header("REFSKELT", kBoneSize, std::uint32_t(bones));
	for (std::size_t b = 0; b < bones; ++b) {
		const std::int32_t node = b < model.bonemap.size() ? model.bonemap[b] : -1;
		sink.text(b < model.names.bones.size() ? std::string_view(model.names.bones[b]) : "", kNameSize);
		sink.s32(0); // flags
		sink.s32(InTable(node, children.size()) ? children[std::size_t(node)] : 0);
		sink.s32(ParentBone(model, int(b), 0));
		const Matrix34& local = NodeMatrix(nodes, node, &Node::matrix);
		Rotation(sink, local);
		Translation(sink, local);
		sink.zeros(4 * 4); // length and size
	}

	const std::size_t weightCount = sink.header("RAWWEIGHTS", kWeightSize, 0);
	std::uint32_t written = 0;
	for (std::size_t m = 0; m < meshes; ++m) {
		for (std::size_t k = w.start[m]; k < w.start[m + 1]; ++k) {
			const Wedge& wedge = w.records[k];
			if (wedge.duplicateOf != -1)
				continue;
			for (const Influence& influence : influences.Of(wedge.node)) {
				sink.f32(influence.weight);
				sink.s32(wedge.wedgeNumber);
				sink.s32(influence.bone);
				++written;
			}
		}
	}
	sink.patch32(weightCount, written);

	result.ok = true;
	return result;
}

std::string_view AnimationRefusal(const AnimState& anim)
{
	return anim.nFrames < 0 ? kMixedAnimations : anim.nFrames == 0 ? kNoFrames : std::string_view();
}

BinaryExport ExportAnimToPSA(const AnimState& anim, int nBones, std::span<const std::string> boneNames,
	std::string_view animName)
{
	BinaryExport result;
	result.message = AnimationRefusal(anim);
	if (!result.message.empty())
		return result;
	const std::size_t frames = std::size_t(anim.nFrames);
	const std::size_t bones = std::size_t(std::max(nBones, 0));
	const std::size_t keys = frames * bones;
	if (keys > std::size_t(std::numeric_limits<std::int32_t>::max())) {
		result.message = kTooManyKeys;
		return result;
	}

	std::vector<std::uint8_t>& out = result.bytes;
	out.reserve(4 * kChunkHeaderSize + bones * kBoneSize + kAnimInfoSize + keys * kAnimKeySize);
	ByteSink sink(out);

	sink.header("ANIMHEAD", 0, 0);

	sink.header("BONENAMES", kBoneSize, std::uint32_t(bones));
	for (std::size_t b = 0; b < bones; ++b) {
		sink.text(b < boneNames.size() ? std::string_view(boneNames[b]) : "", kNameSize);
		sink.zeros(14 * 4); // flags, children, parent and the reference position
	}

	const std::int32_t n = anim.nFrames;
	sink.header("ANIMINFO", kAnimInfoSize, 1);
	sink.text(animName, kNameSize);
	sink.text("None", kNameSize);
	sink.s32(std::int32_t(bones));
	sink.s32(0);     // root include
	sink.s32(0);     // key compression style
	sink.s32(n);     // key quotum
	sink.f32(0.0f);  // key reduction
	sink.f32(float(double(n) * double(kFrameRate))); // track time: frames times the rate
	sink.f32(kFrameRate);
	sink.s32(0);     // start bone
	sink.s32(0);     // first raw frame
	sink.s32(n);     // raw frame count

	// rotation X, Y, Z then translation X, Y, Z of every bone
	static const BoneAnim kNoTracks;
	std::vector<TrackSampler> tracks;
	tracks.reserve(bones * 6);
	for (std::size_t b = 0; b < bones; ++b) {
		const BoneAnim& e = b < anim.bones.size() ? anim.bones[b] : kNoTracks;
		for (std::size_t i = 0; i < 3; ++i)
			tracks.emplace_back(e.rotKeys[i]);
		for (std::size_t i = 0; i < 3; ++i)
			tracks.emplace_back(e.transKeys[i]);
	}

	sink.header("ANIMKEYS", kAnimKeySize, std::uint32_t(keys));
	Node scratch;
	for (std::size_t f = 0; f < frames; ++f) {
		for (std::size_t b = 0; b < bones; ++b) {
			SampleLocalMatrix(scratch, std::span(tracks).subspan(b * 6, 6), float(f));
			Translation(sink, scratch.matrix);
			Rotation(sink, scratch.matrix);
			sink.f32(1.0f); // key time
		}
	}

	result.ok = true;
	return result;
}

void SampleLocalMatrix(Node& scratch, std::span<TrackSampler> tracks, float frame)
{
	Transfo t; // unit scale: scale tracks are not exported
	for (std::size_t i = 0; i < 3; ++i) {
		t.rot[i] = tracks[i].At(frame);
		t.trans[i] = tracks[3 + i].At(frame);
	}
	CalcNodeMatrix(scratch, t);
}

} // namespace zentarra
