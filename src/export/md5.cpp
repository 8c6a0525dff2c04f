#include "export/md5.h"

#include "base/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace zentarra {

namespace {

constexpr int kFrameRate = 30;
constexpr int kAllComponents = 63; // translation and rotation, three axes each

bool InTable(std::int64_t index, std::size_t size)
{
	return index >= 0 && std::uint64_t(index) < size;
}

void AppendInt(std::string& out, long long value)
{
	char text[24];
	const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
	out.append(text, end.ptr);
}

// " %f" of a float, widened to double as printf receives it.
void AppendNumber(std::string& out, float value)
{
	out += ' ';
	AppendFixed6(out, double(value));
}

// " x y z" of a vector as (z, x, y).
void AppendPermuted(std::string& out, float x, float y, float z)
{
	AppendNumber(out, z);
	AppendNumber(out, x);
	AppendNumber(out, y);
}

void AppendTranslation(std::string& out, const Matrix34& m)
{
	AppendPermuted(out, m[3], m[7], m[11]);
}

// The imaginary parts; readers rebuild w from a unit quaternion.
void AppendRotation(std::string& out, const Matrix34& m)
{
	const std::array<float, 4> q = GetQuatFromMatrix(m);
	AppendPermuted(out, q[1], q[2], q[3]);
}

// "x y z qx qy qz" of a local matrix, behind a tab.
void AppendFrameLine(std::string& out, const Matrix34& m)
{
	const std::array<float, 4> q = GetQuatFromMatrix(m);
	const float values[6] = {m[11], m[3], m[7], q[3], q[1], q[2]};
	out += '\t';
	AppendFixed6(out, double(values[0]));
	for (std::size_t i = 1; i < 6; ++i)
		AppendNumber(out, values[i]);
	out += '\n';
}

// "( x y z ) ( qx qy qz )" of a matrix, behind a tab.
void AppendJoint(std::string& out, const Matrix34& m)
{
	out += "\t(";
	AppendTranslation(out, m);
	out += " ) (";
	AppendRotation(out, m);
	out += " )\n";
}

std::size_t MeshCount(const BRMDL& model)
{
	return std::min(std::size_t(std::max(model.nMesh, 0)), model.meshTris.size());
}

bool Skipped(const BRMDL& model, std::size_t mesh, bool skipHidden)
{
	return skipHidden && mesh < model.meshVisible.size() && model.meshVisible[mesh] == 0;
}

std::string_view ShaderOf(const BRMDL& model, std::size_t mesh)
{
	if (model.hasMat == 0 || mesh >= model.meshMat.size())
		return {};
	const int material = model.meshMat[mesh];
	return InTable(material, model.texName.size()) ? std::string_view(model.texName[std::size_t(material)])
												   : std::string_view();
}

const Node& NodeOfBone(const LoadedModel& model, std::size_t bone)
{
	static const Node kUnit;
	const int node = bone < model.bonemap.size() ? model.bonemap[bone] : -1;
	return InTable(node, model.nodelist.size()) ? model.nodelist[std::size_t(node)] : kUnit;
}

std::string_view BoneName(const LoadedModel& model, std::size_t bone)
{
	return bone < model.names.bones.size() ? std::string_view(model.names.bones[bone]) : std::string_view();
}

// A bound truncated toward zero as the %d conversion needs it; beyond the
// range of int it stops at the nearest end, NaN gives 0.
int Truncated(float value)
{
	if (std::isnan(value))
		return 0;
	if (value >= 2147483648.0f)
		return std::numeric_limits<int>::max();
	if (value <= -2147483648.0f)
		return std::numeric_limits<int>::min();
	return int(value);
}

void AppendMesh(std::string& out, const LoadedModel& model, std::size_t m, const InfluenceTable& influences,
	std::vector<Wedge>& records, CornerTable& seen)
{
	const BRMDL& md = model.MD;
	const std::string_view shader = ShaderOf(md, m);
	if (shader.empty()) {
		out += "\nmesh {\n\tshader \"none\"\n\n";
	} else {
		out += "\nmesh {\n\tshader \"";
		out += shader;
		out += ".tga\"\n\n";
	}

	const std::vector<Triangle>& triangles = md.meshTris[m];
	records.assign(triangles.size() * 3, Wedge{});
	seen.Reset(records.size());
	std::int32_t vertices = 0;
	for (std::size_t k = 0; k < records.size(); ++k)
		LookForVertex(triangles[k / 3].v[k % 3], records, k, seen, vertices);

	out.reserve(out.size() + std::size_t(vertices) * 150 + triangles.size() * 40);
	out += "\tnumverts ";
	AppendInt(out, vertices);
	out += '\n';
	const std::span<const Vec2> texCoords = MeshTexCoords(md, m);
	std::int32_t weights = 0;
	for (const Wedge& record : records)
		if (record.duplicateOf == -1)
			weights += MD5_PrintVert(out, record, texCoords, record.wedgeNumber, weights, influences);

	out += "\n\tnumtris ";
	AppendInt(out, (long long)triangles.size());
	out += '\n';
	for (std::size_t t = 0; t < triangles.size(); ++t) {
		// winding reversed: corners 0, 2, 1
		out += "\ttri ";
		AppendInt(out, (long long)t);
		for (const std::size_t c : {0, 2, 1}) {
			out += ' ';
			AppendInt(out, WedgeOf(records[t * 3 + c]));
		}
		out += '\n';
	}

	out += "\n\tnumweights ";
	AppendInt(out, weights);
	out += '\n';
	const std::span<const Vec3> positions = MeshPositions(md, m);
	std::int32_t weight = 0;
	for (const Wedge& record : records)
		if (record.duplicateOf == -1)
			weight += MD5_PrintWeight(out, record, positions, weight, influences, model.nodelist);
	out += "}\n";
}

} // namespace

void MD5_PrintBone(std::string& out, std::string_view name, std::int32_t parent, const Node& node)
{
	out += "\t\"";
	out += name;
	out += "\" ";
	AppendInt(out, parent);
	out += " (";
	AppendTranslation(out, node.finalMatrix);
	out += " ) (";
	AppendRotation(out, node.finalMatrix);
	out += " )\n";
}

std::int32_t MD5_PrintVert(std::string& out, const Wedge& wedge, std::span<const Vec2> texCoords,
	std::int32_t vertex, std::int32_t firstWeight, const InfluenceTable& influences)
{
	const Vec2 uv = InTable(wedge.uvIndex, texCoords.size()) ? texCoords[std::size_t(wedge.uvIndex)] : Vec2{};
	const std::int32_t count = std::int32_t(influences.Of(wedge.node).size());
	out += "\tvert ";
	AppendInt(out, vertex);
	out += " (";
	AppendNumber(out, uv[0]);
	AppendNumber(out, uv[1]);
	out += " ) ";
	AppendInt(out, firstWeight);
	out += ' ';
	AppendInt(out, count);
	out += '\n';
	return count;
}

std::int32_t MD5_PrintWeight(std::string& out, const Wedge& wedge, std::span<const Vec3> positions,
	std::int32_t firstWeight, const InfluenceTable& influences, const std::vector<Node>& nodes)
{
	const Vec3 p = InTable(wedge.posIndex, positions.size()) ? positions[std::size_t(wedge.posIndex)] : Vec3{};
	const std::span<const Influence> list = influences.Of(wedge.node);
	for (std::size_t i = 0; i < list.size(); ++i) {
		const Influence& influence = list[i];
		float q[3] = {p[0], p[1], p[2]};
		if (influence.node != -1) {
			// bind space into the blended bone's space
			const Matrix34& b = NodeMatrix(nodes, influence.node, &Node::baseMatrix);
			for (std::size_t r = 0; r < 3; ++r)
				q[r] = b[r * 4] * p[0] + b[r * 4 + 1] * p[1] + b[r * 4 + 2] * p[2] + b[r * 4 + 3];
		}
		out += "\tweight ";
		AppendInt(out, firstWeight + (long long)i);
		out += ' ';
		AppendInt(out, influence.bone);
		AppendNumber(out, influence.weight);
		out += " (";
		AppendPermuted(out, q[0], q[1], q[2]);
		out += " )\n";
	}
	return std::int32_t(list.size());
}

std::string ExportToMD5(const LoadedModel& model, bool skipHidden)
{
	const BRMDL& md = model.MD;
	const std::size_t meshes = MeshCount(md);
	const std::size_t bones = std::size_t(std::max(model.nBones, 0));
	long long written = 0;
	for (std::size_t m = 0; m < meshes; ++m)
		written += Skipped(md, m, skipHidden) ? 0 : 1;

	std::string out;
	out.reserve(256 + bones * 120);
	out += "MD5Version 10\ncommandline \"\"\n\nnumJoints ";
	AppendInt(out, (long long)bones);
	out += "\nnumMeshes ";
	AppendInt(out, written);
	out += "\n\njoints {\n";
	for (std::size_t b = 0; b < bones; ++b)
		MD5_PrintBone(out, BoneName(model, b), ParentBone(model, int(b), -1), NodeOfBone(model, b));
	out += "}\n";

	const InfluenceTable influences(model.nodelist, model.nBones);
	std::vector<Wedge> records;
	CornerTable seen;
	for (std::size_t m = 0; m < meshes; ++m)
		if (!Skipped(md, m, skipHidden))
			AppendMesh(out, model, m, influences, records, seen);
	return out;
}

TextExport ExportAnimToMD5(const AnimState& anim, const LoadedModel& model, float radius)
{
	TextExport result;
	result.message = AnimationRefusal(anim);
	if (!result.message.empty())
		return result;
	const std::size_t frames = std::size_t(anim.nFrames);
	const std::size_t bones = std::size_t(std::max(model.nBones, 0));
	static const BoneAnim kNoTracks;
	const auto tracksOf = [&anim](std::size_t b) -> const BoneAnim& {
		return b < anim.bones.size() ? anim.bones[b] : kNoTracks;
	};

	std::string& out = result.text;
	out.reserve(256 + bones * 100 + frames * (40 + bones * 60));
	out += "MD5Version 10\ncommandline \"\"\n\nnumFrames ";
	AppendInt(out, (long long)frames);
	out += "\nnumJoints ";
	AppendInt(out, (long long)bones);
	out += "\nframeRate ";
	AppendInt(out, kFrameRate);
	out += "\nnumAnimatedComponents ";
	AppendInt(out, 6 * (long long)bones);
	out += "\n\nhierarchy {\n";
	for (std::size_t q = 0; q < bones; ++q) {
		out += "\t\"";
		out += BoneName(model, q);
		out += "\" ";
		AppendInt(out, ParentBone(model, int(q), -1));
		out += ' ';
		AppendInt(out, kAllComponents);
		out += ' ';
		AppendInt(out, 6 * (long long)q);
		out += '\n';
	}

	// one box for the whole animation, from every translation key, the three axes mixed
	float lo = 0.0f, hi = 0.0f;
	for (std::size_t b = 0; b < bones; ++b) {
		for (const std::vector<Key>& track : tracksOf(b).transKeys) {
			for (const Key& key : track) {
				if (key.value > hi)
					hi = key.value;
				if (key.value < lo)
					lo = key.value;
			}
		}
	}
	hi = (hi + radius) * 2.0f;
	lo = (lo - radius) * 2.0f;
	std::string box = "\t(";
	for (int i = 0; i < 3; ++i) {
		box += ' ';
		AppendInt(box, Truncated(lo));
	}
	box += " ) (";
	for (int i = 0; i < 3; ++i) {
		box += ' ';
		AppendInt(box, Truncated(hi));
	}
	box += " )\n";
	out += "}\n\nbounds {\n";
	for (std::size_t f = 0; f < frames; ++f)
		out += box;

	out += "}\n\nbaseframe {\n";
	for (std::size_t b = 0; b < bones; ++b)
		AppendJoint(out, NodeOfBone(model, b).finalMatrix);
	out += "}\n";

	std::vector<TrackSampler> tracks;
	tracks.reserve(bones * 6);
	for (std::size_t b = 0; b < bones; ++b) {
		const BoneAnim& e = tracksOf(b);
		for (std::size_t i = 0; i < 3; ++i)
			tracks.emplace_back(e.rotKeys[i]);
		for (std::size_t i = 0; i < 3; ++i)
			tracks.emplace_back(e.transKeys[i]);
	}
	Node scratch;
	for (std::size_t f = 0; f < frames; ++f) {
		out += "\nframe ";
		AppendInt(out, (long long)f);
		out += " {\n";
		for (std::size_t b = 0; b < bones; ++b) {
			SampleLocalMatrix(scratch, std::span(tracks).subspan(b * 6, 6), float(f));
			AppendFrameLine(out, scratch.matrix);
		}
		out += "}\n";
	}

	result.ok = true;
	return result;
}

} // namespace zentarra
