#include "export/gltf.h"

#include "anim/bone_matrices.h"
#include "anim/math3d.h"
#include "base/file_io.h"
#include "export/png.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

namespace zentarra {

namespace {

// glTF enumerations
constexpr int kFloat = TINYGLTF_COMPONENT_TYPE_FLOAT;
constexpr int kUint = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
constexpr int kUshort = TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT;
constexpr int kArrayBuffer = TINYGLTF_TARGET_ARRAY_BUFFER;
constexpr int kIndexBuffer = TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER;
constexpr int kNoTarget = 0;
constexpr int kRepeat = TINYGLTF_TEXTURE_WRAP_REPEAT;
constexpr int kMirroredRepeat = TINYGLTF_TEXTURE_WRAP_MIRRORED_REPEAT;

// zlib's default: a third of the time of level 9 for a file a few percent larger
constexpr int kPngLevel = 6;

constexpr int kCullBack = 2; // cull byte: 0 none, 1 front, 2 back, 3 both
constexpr int kCullBoth = 3;

bool InTable(int index, std::size_t size)
{
	return index >= 0 && std::size_t(index) < size;
}

std::size_t MeshCount(const BRMDL& model)
{
	std::size_t count = model.nMesh > 0 ? std::size_t(model.nMesh) : 0;
	return std::min({count, model.meshTris.size(), model.meshInfo.size()});
}

Transfo BindTransfo(const Node& node)
{
	Transfo bind;
	std::copy(node.scale, node.scale + 3, bind.scale);
	std::copy(node.rot, node.rot + 3, bind.rot);
	std::copy(node.trans, node.trans + 3, bind.trans);
	return bind;
}

// Little-endian values stored into a range already sized in the buffer.
struct Cursor {
	std::uint8_t* at;
	void u32(std::uint32_t v)
	{
		at[0] = std::uint8_t(v);
		at[1] = std::uint8_t(v >> 8);
		at[2] = std::uint8_t(v >> 16);
		at[3] = std::uint8_t(v >> 24);
		at += 4;
	}
	void u16(std::uint16_t v)
	{
		at[0] = std::uint8_t(v);
		at[1] = std::uint8_t(v >> 8);
		at += 2;
	}
	void f32(float v) { u32(std::bit_cast<std::uint32_t>(v)); }
};

// The one binary buffer, its views and accessors; one view per accessor.
class BufferBuilder {
public:
	BufferBuilder(tinygltf::Model& gltf, std::vector<std::uint8_t>& bin) : gltf_(gltf), bin_(bin) {}

	// A new view of `bytes` bytes at a 4-byte boundary; the cursor stays
	// valid until the next call.
	Cursor View(std::size_t bytes, int target, int& view)
	{
		bin_.resize((bin_.size() + 3) & ~std::size_t(3), 0);
		const std::size_t offset = bin_.size();
		bin_.resize(offset + bytes);
		tinygltf::BufferView record;
		record.buffer = 0;
		record.byteOffset = offset;
		record.byteLength = bytes;
		record.target = target;
		view = int(gltf_.bufferViews.size());
		gltf_.bufferViews.push_back(record);
		return Cursor{bin_.data() + offset};
	}

	int Accessor(int view, int componentType, int type, std::size_t count, std::vector<double> min = {},
		std::vector<double> max = {})
	{
		tinygltf::Accessor record;
		record.bufferView = view;
		record.componentType = componentType;
		record.type = type;
		record.count = count;
		record.minValues = std::move(min);
		record.maxValues = std::move(max);
		gltf_.accessors.push_back(std::move(record));
		return int(gltf_.accessors.size() - 1);
	}

	// Floats, `width` per element, with their per-component bounds when asked.
	int Floats(std::span<const float> values, int width, int type, int target, bool bounds)
	{
		int view = 0;
		Cursor out = View(values.size() * 4, target, view);
		for (float v : values)
			out.f32(v);
		std::vector<double> min, max;
		if (bounds && !values.empty()) {
			min.assign(std::size_t(width), std::numeric_limits<double>::infinity());
			max.assign(std::size_t(width), -std::numeric_limits<double>::infinity());
			for (std::size_t i = 0; i < values.size(); ++i) {
				const std::size_t c = i % std::size_t(width);
				min[c] = std::min(min[c], double(values[i]));
				max[c] = std::max(max[c], double(values[i]));
			}
		}
		return Accessor(view, kFloat, type, values.size() / std::size_t(width), std::move(min), std::move(max));
	}

	// Raw bytes (an image), without a target.
	int Bytes(std::span<const std::uint8_t> bytes)
	{
		int view = 0;
		Cursor out = View(bytes.size(), kNoTarget, view);
		std::memcpy(out.at, bytes.data(), bytes.size());
		return view;
	}

private:
	tinygltf::Model& gltf_;
	std::vector<std::uint8_t>& bin_;
};

// --- vertices ---

// The vertices of one mesh: each corner's vertex number and each vertex's
// first corner.
struct MeshVertices {
	std::vector<std::uint32_t> indices;     // per corner
	std::vector<std::uint32_t> firstCorner; // per vertex
	bool normals = false;
	bool colours = false;
	bool uvs = false;
};

const Vertex& CornerAt(const std::vector<Triangle>& tris, std::size_t k)
{
	return tris[k / 3].v[k % 3];
}

// Corners equal in what is written and in the indices the morph targets read.
bool SameVertex(const Vertex& a, const Vertex& b)
{
	return a.posIndex == b.posIndex && a.nrmIndex == b.nrmIndex && a.uvIndex == b.uvIndex && a.node == b.node
		&& std::memcmp(a.pos, b.pos, sizeof a.pos) == 0 && std::memcmp(a.nrm, b.nrm, sizeof a.nrm) == 0
		&& std::memcmp(a.color, b.color, sizeof a.color) == 0 && std::memcmp(a.uv, b.uv, sizeof a.uv) == 0;
}

std::uint32_t HashVertex(const Vertex& v)
{
	std::uint32_t h = 2166136261u;
	const auto mix = [&h](std::uint32_t x) { h = (h ^ x) * 16777619u; };
	mix(std::uint32_t(v.posIndex));
	mix(std::uint32_t(v.nrmIndex));
	mix(std::uint32_t(v.uvIndex));
	mix(std::uint32_t(v.node));
	for (float c : v.color)
		mix(std::bit_cast<std::uint32_t>(c));
	for (float c : v.uv)
		mix(std::bit_cast<std::uint32_t>(c));
	return h ^ (h >> 15);
}

// Numbers the distinct corners in order of first appearance, in linear time
// through an open-addressing table of vertex numbers.
MeshVertices NumberVertices(const std::vector<Triangle>& tris, std::vector<std::uint32_t>& table)
{
	MeshVertices out;
	const std::size_t corners = tris.size() * 3;
	out.indices.resize(corners);
	std::size_t capacity = 16;
	while (capacity < corners * 2)
		capacity *= 2;
	table.assign(capacity, 0xFFFFFFFFu);
	const std::size_t mask = capacity - 1;
	for (std::size_t k = 0; k < corners; ++k) {
		const Vertex& corner = CornerAt(tris, k);
		std::size_t slot = HashVertex(corner) & mask;
		while (true) {
			const std::uint32_t number = table[slot];
			if (number == 0xFFFFFFFFu) {
				table[slot] = std::uint32_t(out.firstCorner.size());
				out.indices[k] = table[slot];
				out.firstCorner.push_back(std::uint32_t(k));
				break;
			}
			if (SameVertex(CornerAt(tris, out.firstCorner[number]), corner)) {
				out.indices[k] = number;
				break;
			}
			slot = (slot + 1) & mask;
		}
	}
	if (!tris.empty()) {
		const Vertex& first = tris[0].v[0];
		out.normals = first.nrmIndex != -2;
		out.uvs = first.uvIndex != -1;
	}
	return out;
}

// Bind-pose node matrices as ResetBones leaves them: a bone node's model
// space, a weighted node's identity.
std::vector<Matrix34> BindMatrices(const std::vector<Node>& nodes)
{
	std::vector<Node> scratch = nodes;
	for (Node& node : scratch)
		CalcNodeMatrix(node, BindTransfo(node));
	std::vector<Matrix34> out(nodes.size());
	for (std::size_t i = 0; i < scratch.size(); ++i) {
		CalcNodeFinalMatrix(int(i), scratch);
		out[i] = scratch[i].finalMatrix;
	}
	return out;
}

Vec3 Affine(const Matrix34& m, const float* p)
{
	Vec3 out;
	for (std::size_t r = 0; r < 3; ++r)
		out[r] = m[r * 4] * p[0] + m[r * 4 + 1] * p[1] + m[r * 4 + 2] * p[2] + m[r * 4 + 3];
	return out;
}

Vec3 Linear(const Matrix34& m, const float* p)
{
	Vec3 out;
	for (std::size_t r = 0; r < 3; ++r)
		out[r] = m[r * 4] * p[0] + m[r * 4 + 1] * p[1] + m[r * 4 + 2] * p[2];
	return out;
}

// glTF wants unit normals: a zero one points up.
Vec3 Unit(const Vec3& n)
{
	const float len = Norm(n[0], n[1], n[2]);
	if (!(len > 0.0f) || !std::isfinite(len))
		return {0, 1, 0};
	return {n[0] / len, n[1] / len, n[2] / len};
}

// An array entry, or null when the array or the index is outside its table.
const Vec3* ArrayEntry(const std::vector<std::vector<Vec3>>& arrays, int array, int index)
{
	if (!InTable(array, arrays.size()) || !InTable(index, arrays[std::size_t(array)].size()))
		return nullptr;
	return &arrays[std::size_t(array)][std::size_t(index)];
}

// Up to four joints and weights summing to 1.
struct Influences {
	std::array<std::uint16_t, 4> joint{};
	std::array<float, 4> weight{1, 0, 0, 0};
};

// Per node: a bone node moves with its own joint, a weighted node with its
// bone nodes' joints, the 4 largest renormalised. A node left with no usable
// influence (damaged) follows joint 0.
std::vector<Influences> NodeInfluences(const std::vector<Node>& nodes, const std::vector<int>& jointOf,
	bool& truncated)
{
	std::vector<Influences> out(nodes.size());
	for (std::size_t i = 0; i < nodes.size(); ++i) {
		const Node& node = nodes[i];
		if (node.nWeights == 0) {
			out[i].joint[0] = std::uint16_t(std::max(jointOf[i], 0));
			continue;
		}
		std::vector<std::pair<int, float>> pairs;
		const std::size_t count = std::min({std::size_t(std::max(node.nWeights, 0)), node.wNode.size(), node.weight.size()});
		for (std::size_t q = 0; q < count; ++q) {
			const int j = node.wNode[q];
			const float w = node.weight[q];
			if (!InTable(j, nodes.size()) || jointOf[std::size_t(j)] < 0 || !(w > 0.0f))
				continue;
			const int joint = jointOf[std::size_t(j)];
			auto same = std::find_if(pairs.begin(), pairs.end(), [joint](const auto& p) { return p.first == joint; });
			if (same != pairs.end())
				same->second += w;
			else
				pairs.emplace_back(joint, w);
		}
		std::stable_sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
		if (pairs.size() > 4) {
			truncated = true;
			pairs.resize(4);
		}
		float sum = 0;
		for (const auto& p : pairs)
			sum += p.second;
		if (pairs.empty() || !(sum > 0.0f) || !std::isfinite(sum))
			continue; // joint 0 at weight 1
		Influences& in = out[i];
		float rest = 0;
		for (std::size_t q = 0; q < pairs.size(); ++q) {
			in.joint[q] = std::uint16_t(pairs[q].first);
			in.weight[q] = pairs[q].second / sum;
			if (q > 0)
				rest += in.weight[q];
		}
		in.weight[0] = 1.0f - rest; // the sum is exactly 1 in float
	}
	return out;
}

// --- morph targets ---

// One morph target of a mesh: target t of entry e of animation a.
struct MorphRef {
	std::size_t animation;
	std::size_t entry;
	std::size_t target;
};

std::vector<MorphRef> MeshMorphs(const MeshInfo& info, bool normals, std::span<const GltfAnimation> animations)
{
	std::vector<MorphRef> out;
	for (std::size_t a = 0; a < animations.size(); ++a) {
		if (!(animations[a].anim.type & 2))
			continue;
		const std::vector<VAnim>& entries = animations[a].anim.vanim;
		for (std::size_t e = 0; e < entries.size(); ++e) {
			const VAnim& entry = entries[e];
			const bool positions = entry.vtxArray >= 0 && entry.vtxArray == info.vtxArray;
			const bool nrms = normals && entry.nrmArray >= 0 && entry.nrmArray == info.nrmArray;
			if (!positions && !nrms)
				continue;
			for (int t = 0; t < entry.nTargets; ++t)
				out.push_back({a, e, std::size_t(t)});
		}
	}
	return out;
}

int ListTarget(const std::vector<int>& list, std::size_t t)
{
	return t < list.size() ? list[t] : -1;
}

// --- nodes ---

// Parent links that keep the node graph a tree: a node on a parent cycle
// (a damaged file) hangs from the root instead.
std::vector<int> TreeParents(const std::vector<Node>& nodes)
{
	const std::size_t n = nodes.size();
	std::vector<int> parent(n, -1);
	std::vector<std::uint8_t> state(n, 0); // 0 unseen, 1 on the current walk, 2 done, 3 on a loop
	std::vector<std::size_t> walk;
	for (std::size_t start = 0; start < n; ++start) {
		walk.clear();
		std::size_t i = start;
		bool closed = false; // the walk came back onto itself
		while (state[i] == 0) {
			state[i] = 1;
			walk.push_back(i);
			const int p = nodes[i].parent;
			if (!InTable(p, n))
				break;
			i = std::size_t(p);
			closed = state[i] == 1;
		}
		if (closed) {
			// cut every link of the loop: from the node it came back to on
			const auto loop = std::find(walk.begin(), walk.end(), i);
			for (auto w = loop; w != walk.end(); ++w)
				state[*w] = 3;
		}
		for (std::size_t w : walk) {
			if (state[w] != 3 && InTable(nodes[w].parent, n))
				parent[w] = nodes[w].parent;
			state[w] = 2;
		}
	}
	return parent;
}

void SetTransform(tinygltf::Node& out, const Transfo& t)
{
	const std::array<float, 4> q = EulerToQuaternion(t.rot);
	out.translation = {t.trans[0], t.trans[1], t.trans[2]};
	out.rotation = {q[0], q[1], q[2], q[3]};
	out.scale = {t.scale[0], t.scale[1], t.scale[2]};
}

std::string BoneNodeName(const LoadedModel& model, std::size_t i)
{
	const Node& node = model.nodelist[i];
	if (node.nWeights == 0 && InTable(node.bone, model.names.bones.size()))
		return model.names.bones[std::size_t(node.bone)];
	return (node.nWeights == 0 ? "node" : "weighted") + std::to_string(i);
}

// --- animations ---

// The time accessor of frames 0 .. frames-1 at the rate.
int TimeAccessor(BufferBuilder& buffer, int frames, float fps)
{
	std::vector<float> times(static_cast<std::size_t>(frames));
	for (int f = 0; f < frames; ++f)
		times[std::size_t(f)] = float(double(f) / double(fps));
	return buffer.Floats(times, 1, TINYGLTF_TYPE_SCALAR, kNoTarget, true);
}

struct ChannelWriter {
	BufferBuilder& buffer;
	tinygltf::Animation& animation;
	int fullTimes;
	int oneTime; // the single key of a constant track, made on first use

	// A track of `keyWidth` floats per frame, as elements of `width` floats;
	// a constant one is written once.
	void Add(int node, const char* path, std::vector<float>& values, std::size_t keyWidth, int width, int type)
	{
		bool constant = keyWidth > 0;
		for (std::size_t i = keyWidth; i < values.size() && constant; ++i)
			constant = values[i] == values[i % keyWidth];
		int input = fullTimes;
		if (constant && values.size() > keyWidth) {
			values.resize(keyWidth);
			if (oneTime < 0) {
				const float zero = 0.0f;
				oneTime = buffer.Floats(std::span(&zero, 1), 1, TINYGLTF_TYPE_SCALAR, kNoTarget, true);
			}
			input = oneTime;
		}
		tinygltf::AnimationSampler sampler;
		sampler.input = input;
		sampler.output = buffer.Floats(values, width, type, kNoTarget, false);
		sampler.interpolation = "LINEAR";
		tinygltf::AnimationChannel channel;
		channel.sampler = int(animation.samplers.size());
		channel.target_node = node;
		channel.target_path = path;
		animation.samplers.push_back(std::move(sampler));
		animation.channels.push_back(std::move(channel));
	}
};

// The bone channels of one CHR0, or false when it moves none of the bones.
bool BoneAnimation(const LoadedModel& model, const GltfAnimation& source, float fps, BufferBuilder& buffer,
	tinygltf::Animation& out)
{
	AnimState anim = source.anim;
	anim.rotOnly = 0;
	const int frames = anim.nFrames;
	std::vector<std::size_t> moved;
	for (std::size_t i = 0; i < model.nodelist.size(); ++i) {
		const Node& node = model.nodelist[i];
		if (node.nWeights == 0 && InTable(node.bone, anim.bones.size()) && anim.bones[std::size_t(node.bone)].loaded)
			moved.push_back(i);
	}
	if (moved.empty() || frames <= 0)
		return false;
	ChannelWriter writer{buffer, out, TimeAccessor(buffer, frames, fps), -1};
	std::vector<float> translation, rotation, scale;
	for (std::size_t i : moved) {
		const Node& node = model.nodelist[i];
		translation.clear();
		rotation.clear();
		scale.clear();
		std::array<float, 4> last{0, 0, 0, 1};
		for (int f = 0; f < frames; ++f) {
			anim.frame = float(f);
			Transfo t;
			CalcNodeAnimTransfo(node, anim, t);
			std::array<float, 4> q = EulerToQuaternion(t.rot);
			// the shorter way from the previous key, as slerp takes it
			if (q[0] * last[0] + q[1] * last[1] + q[2] * last[2] + q[3] * last[3] < 0.0f)
				for (float& c : q)
					c = -c;
			last = q;
			translation.insert(translation.end(), t.trans, t.trans + 3);
			rotation.insert(rotation.end(), q.begin(), q.end());
			scale.insert(scale.end(), t.scale, t.scale + 3);
		}
		writer.Add(int(i), "translation", translation, 3, 3, TINYGLTF_TYPE_VEC3);
		writer.Add(int(i), "rotation", rotation, 4, 4, TINYGLTF_TYPE_VEC4);
		writer.Add(int(i), "scale", scale, 3, 3, TINYGLTF_TYPE_VEC3);
	}
	return true;
}

// --- files ---

// A name safe as a file name beside the model.
std::string FileSafe(std::string_view name)
{
	std::string out;
	for (char c : name)
		out += (c == '/' || c == '\\' || c == ':' || std::uint8_t(c) < 0x20) ? '_' : c;
	return out.empty() ? "texture" : out;
}

// A relative URI of a file name: everything but unreserved characters
// percent-encoded.
std::string UriOf(std::string_view name)
{
	static constexpr char kHex[] = "0123456789ABCDEF";
	std::string out;
	for (char c : name) {
		const auto u = std::uint8_t(c);
		if (std::isalnum(u) || c == '-' || c == '_' || c == '.' || c == '~') {
			out += c;
		} else {
			out += '%';
			out += kHex[u >> 4];
			out += kHex[u & 15];
		}
	}
	return out;
}

void Le32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
	for (int shift = 0; shift < 32; shift += 8)
		out.push_back(std::uint8_t(v >> shift));
}

// The JSON of the document, with the buffer record tinygltf would not write
// without a copy of its data.
std::string DocumentJson(const tinygltf::Model& gltf, std::size_t binBytes, const std::string& uri)
{
	tinygltf::TinyGLTF writer;
	std::ostringstream stream;
	writer.WriteGltfSceneToStream(&gltf, stream, false, false);
	std::string json = std::move(stream).str();
	std::string buffer = ",\"buffers\":[{\"byteLength\":" + std::to_string(binBytes);
	if (!uri.empty())
		buffer += ",\"uri\":\"" + uri + "\"";
	buffer += "}]";
	const std::size_t close = json.rfind('}');
	json.insert(close == std::string::npos ? json.size() : close, buffer);
	return json;
}

// header, JSON chunk padded with spaces, BIN chunk padded with zeros
std::vector<std::uint8_t> GlbContainer(const std::string& json, const std::vector<std::uint8_t>& bin)
{
	const std::size_t jsonPadded = (json.size() + 3) & ~std::size_t(3);
	const std::size_t binPadded = (bin.size() + 3) & ~std::size_t(3);
	const std::size_t total = 12 + 8 + jsonPadded + (bin.empty() ? 0 : 8 + binPadded);
	std::vector<std::uint8_t> out;
	out.reserve(total);
	Le32(out, 0x46546C67); // "glTF"
	Le32(out, 2);
	Le32(out, std::uint32_t(total));
	Le32(out, std::uint32_t(jsonPadded));
	Le32(out, 0x4E4F534A); // "JSON"
	out.insert(out.end(), json.begin(), json.end());
	out.resize(20 + jsonPadded, ' ');
	if (!bin.empty()) {
		Le32(out, std::uint32_t(binPadded));
		Le32(out, 0x004E4942); // "BIN\0"
		out.insert(out.end(), bin.begin(), bin.end());
		out.resize(total, 0);
	}
	return out;
}

} // namespace

std::array<float, 4> EulerToQuaternion(const float (&degrees)[3])
{
	double half[3][2]; // cos, sin of each half angle
	for (std::size_t i = 0; i < 3; ++i) {
		const double a = DegreesToRadians(degrees[i]) / 2.0;
		half[i][0] = std::cos(a);
		half[i][1] = std::sin(a);
	}
	const double cx = half[0][0], sx = half[0][1], cy = half[1][0], sy = half[1][1], cz = half[2][0], sz = half[2][1];
	// qz x qy x qx
	double w = cz * cy * cx + sz * sy * sx;
	double x = cz * cy * sx - sz * sy * cx;
	double y = cz * sy * cx + sz * cy * sx;
	double z = sz * cy * cx - cz * sy * sx;
	if (w < 0) {
		w = -w;
		x = -x;
		y = -y;
		z = -z;
	}
	return {float(x), float(y), float(z), float(w)};
}

namespace {

// The document being built: its records, its one buffer and its warnings.
struct Document {
	tinygltf::Model gltf;
	std::vector<std::uint8_t> bin;
	BufferBuilder buffer{gltf, bin};
	GltfExport result;

	Document() = default;
	Document(const Document&) = delete;
	Document& operator=(const Document&) = delete;

	void Warn(std::string text)
	{
		std::vector<std::string>& warnings = result.warnings;
		if (std::find(warnings.begin(), warnings.end(), text) == warnings.end())
			warnings.push_back(std::move(text));
	}
};

// The glTF side of the node table.
struct Skeleton {
	int root = 0;
	bool skinned = false;
	std::vector<Influences> influences; // per node
	std::vector<Matrix34> bind;         // per node, when skinned
};

// The pose the nodes take: the still's first bone animation at its frame,
// else the model's own animation while it plays or pauses, else none.
const AnimState* NodePose(const LoadedModel& model, std::span<const GltfAnimation> animations,
	const GltfOptions& options, AnimState& still)
{
	if (options.poseFrame < 0.0f)
		return (model.anim.type & 1) && model.anim.frame >= 0.0f ? &model.anim : nullptr;
	const auto bones = std::find_if(animations.begin(), animations.end(),
		[](const GltfAnimation& a) { return (a.anim.type & 1) != 0; });
	if (bones == animations.end())
		return nullptr;
	still = bones->anim;
	still.frame = options.poseFrame;
	still.rotOnly = 0;
	return &still;
}

// Node i for node i of the table, then the root; the skin of the bone nodes.
Skeleton AddNodes(Document& doc, const LoadedModel& model, const AnimState* pose)
{
	tinygltf::Model& gltf = doc.gltf;
	const std::vector<Node>& nodes = model.nodelist;
	const std::vector<int> parents = TreeParents(nodes);
	Skeleton out;
	out.root = int(nodes.size());
	gltf.nodes.resize(nodes.size() + 1);
	tinygltf::Node& root = gltf.nodes[std::size_t(out.root)];
	root.name = model.modelname.empty() ? "model" : model.modelname;
	std::vector<int> jointOf(nodes.size(), -1);
	std::vector<int> joints;
	for (std::size_t i = 0; i < nodes.size(); ++i) {
		tinygltf::Node& node = gltf.nodes[i];
		node.name = BoneNodeName(model, i);
		if (nodes[i].nWeights == 0) {
			Transfo t = BindTransfo(nodes[i]);
			if (pose)
				CalcNodeAnimTransfo(nodes[i], *pose, t);
			SetTransform(node, t);
			jointOf[i] = int(joints.size());
			joints.push_back(int(i));
		}
		gltf.nodes[std::size_t(parents[i] >= 0 ? parents[i] : out.root)].children.push_back(int(i));
	}
	out.skinned = !joints.empty();
	if (!out.skinned)
		return out;

	std::vector<float> matrices;
	matrices.reserve(joints.size() * 16);
	for (int j : joints) {
		const Matrix34& m = nodes[std::size_t(j)].baseMatrix;
		for (std::size_t c = 0; c < 4; ++c) // column-major 4x4
			for (std::size_t r = 0; r < 4; ++r)
				matrices.push_back(r < 3 ? m[r * 4 + c] : (c == 3 ? 1.0f : 0.0f));
	}
	tinygltf::Skin skin;
	skin.name = gltf.nodes[std::size_t(out.root)].name;
	skin.joints = joints;
	skin.skeleton = out.root;
	skin.inverseBindMatrices = doc.buffer.Floats(matrices, 16, TINYGLTF_TYPE_MAT4, kNoTarget, false);
	gltf.skins.push_back(std::move(skin));

	bool truncated = false;
	out.influences = NodeInfluences(nodes, jointOf, truncated);
	if (truncated)
		doc.Warn("Warning: some vertices have more than 4 bone influences: the 4 largest were kept, renormalised");
	out.bind = BindMatrices(nodes);
	return out;
}

// One material per model material, each with its texture and sampler.
void AddMaterials(Document& doc, const BRMDL& md, std::span<const GltfTexture> textures, const GltfOptions& options)
{
	tinygltf::Model& gltf = doc.gltf;
	const std::size_t materials = md.hasMat ? std::size_t(std::max(md.nMat, 0)) : 0;
	const std::size_t meshes = MeshCount(md);
	std::map<std::string, int> imageOf;
	std::map<std::string, int> fileNames;
	for (std::size_t m = 0; m < materials; ++m) {
		tinygltf::Material& material = gltf.materials.emplace_back();
		material.name = "mat" + std::to_string(m + 1);
		material.pbrMetallicRoughness.metallicFactor = 0.0;
		material.pbrMetallicRoughness.roughnessFactor = 1.0;
		material.alphaMode = "OPAQUE";
		int cull = 0;
		for (std::size_t j = 0; j < meshes; ++j)
			if (j < md.meshMat.size() && md.meshMat[j] == int(m) && j < md.meshCull.size()) {
				cull = md.meshCull[j];
				break;
			}
		material.doubleSided = cull != kCullBack && cull != kCullBoth;

		const auto texture = std::find_if(textures.begin(), textures.end(),
			[m](const GltfTexture& t) { return t.material == int(m); });
		const std::optional<std::size_t> bytes = texture != textures.end()
			? RgbaByteCount(texture->width, texture->height) : std::nullopt;
		if (!bytes || texture->rgba.size() < *bytes || *bytes == 0)
			continue;
		const std::string palette = m < md.palName.size() ? md.palName[m] : "";
		const std::string key = texture->name + '\n' + palette;
		auto found = imageOf.find(key);
		if (found == imageOf.end()) {
			std::vector<std::uint8_t> png;
			if (!WritePNG(png, texture->width, texture->height, texture->rgba, kPngLevel)) {
				doc.Warn("Warning: the texture \"" + texture->name + "\" could not be encoded and was left out");
				continue;
			}
			tinygltf::Image image;
			image.name = texture->name;
			image.mimeType = "image/png";
			if (options.binary) {
				image.bufferView = doc.buffer.Bytes(png);
			} else {
				std::string file = FileSafe(texture->name);
				if (const int uses = fileNames[file]++; uses > 0)
					file += "_" + std::to_string(uses);
				file += ".png";
				image.uri = UriOf(file);
				doc.result.sideFiles.push_back({file, std::move(png)});
			}
			found = imageOf.emplace(key, int(gltf.images.size())).first;
			gltf.images.push_back(std::move(image));
		}
		const int mirror = m < md.matMirror.size() ? md.matMirror[m] : 0;
		tinygltf::Sampler sampler;
		sampler.wrapS = (mirror & 1) ? kMirroredRepeat : kRepeat;
		sampler.wrapT = (mirror & 2) ? kMirroredRepeat : kRepeat;
		gltf.samplers.push_back(sampler);
		tinygltf::Texture tex;
		tex.source = found->second;
		tex.sampler = int(gltf.samplers.size() - 1);
		gltf.textures.push_back(tex);
		material.pbrMetallicRoughness.baseColorTexture.index = int(gltf.textures.size() - 1);
		for (std::size_t a = 3; a < *bytes; a += 4)
			if (texture->rgba[a] != 255) {
				material.alphaMode = "MASK";
				material.alphaCutoff = 0.5;
				break;
			}
	}
}

// Scratch reused from mesh to mesh.
struct MeshScratch {
	std::vector<std::uint32_t> table;
	std::vector<float> values;
};

// Mesh j with its node under the root; the node's index, or -1 for a mesh
// without triangles. `morphs` receives the mesh's morph targets.
int AddMesh(Document& doc, const LoadedModel& model, std::size_t j, const Skeleton& skeleton,
	std::span<const GltfAnimation> animations, const GltfOptions& options, std::vector<MorphRef>& morphs,
	MeshScratch& scratch)
{
	const BRMDL& md = model.MD;
	const std::vector<Triangle>& tris = md.meshTris[j];
	if (tris.empty())
		return -1;
	tinygltf::Model& gltf = doc.gltf;
	BufferBuilder& buffer = doc.buffer;
	const MeshInfo& info = md.meshInfo[j];
	MeshVertices mv = NumberVertices(tris, scratch.table);
	mv.colours = info.clrArray != 0xFFFF;
	const std::size_t count = mv.firstCorner.size();
	tinygltf::Primitive primitive;
	primitive.mode = TINYGLTF_MODE_TRIANGLES;
	if (j < md.meshMat.size() && InTable(md.meshMat[j], gltf.materials.size()))
		primitive.material = md.meshMat[j];
	{
		int view = 0;
		Cursor out = buffer.View(mv.indices.size() * 4, kIndexBuffer, view);
		for (std::uint32_t index : mv.indices)
			out.u32(index);
		primitive.indices = buffer.Accessor(view, kUint, TINYGLTF_TYPE_SCALAR, mv.indices.size());
		mv.indices = {};
	}

	const auto matrixOf = [&](const Vertex& v) -> const Matrix34& {
		return skeleton.skinned && InTable(v.node, skeleton.bind.size()) ? skeleton.bind[std::size_t(v.node)]
																		 : kIdentity34;
	};
	const auto influencesOf = [&](const Vertex& v) {
		return InTable(v.node, skeleton.influences.size()) ? skeleton.influences[std::size_t(v.node)] : Influences{};
	};
	const auto corner = [&](std::size_t vertex) -> const Vertex& { return CornerAt(tris, mv.firstCorner[vertex]); };
	// the stored values, unmorphed, where the arrays hold them
	const auto basePosition = [&](const Vertex& v) -> const float* {
		const Vec3* p = ArrayEntry(md.vtx, info.vtxArray, v.posIndex);
		return p ? p->data() : v.pos;
	};
	const auto baseNormal = [&](const Vertex& v) -> const float* {
		const Vec3* n = ArrayEntry(md.nrm, info.nrmArray, v.nrmIndex);
		return n ? n->data() : v.nrm;
	};
	std::vector<float>& values = scratch.values;
	const auto put = [&values](std::size_t i, const Vec3& v) {
		std::copy(v.begin(), v.end(), values.begin() + std::ptrdiff_t(i * 3));
	};

	values.resize(count * 3);
	for (std::size_t i = 0; i < count; ++i)
		put(i, Affine(matrixOf(corner(i)), basePosition(corner(i))));
	primitive.attributes["POSITION"] = buffer.Floats(values, 3, TINYGLTF_TYPE_VEC3, kArrayBuffer, true);
	if (mv.normals) {
		for (std::size_t i = 0; i < count; ++i)
			put(i, Unit(Linear(matrixOf(corner(i)), baseNormal(corner(i)))));
		primitive.attributes["NORMAL"] = buffer.Floats(values, 3, TINYGLTF_TYPE_VEC3, kArrayBuffer, false);
	}
	if (mv.colours) {
		values.resize(count * 4);
		for (std::size_t i = 0; i < count; ++i)
			for (std::size_t c = 0; c < 4; ++c)
				values[i * 4 + c] = std::clamp(corner(i).color[c], 0.0f, 1.0f);
		primitive.attributes["COLOR_0"] = buffer.Floats(values, 4, TINYGLTF_TYPE_VEC4, kArrayBuffer, false);
	}
	if (mv.uvs) {
		values.resize(count * 2);
		for (std::size_t i = 0; i < count; ++i) {
			values[i * 2] = corner(i).uv[0];
			values[i * 2 + 1] = corner(i).uv[1];
		}
		primitive.attributes["TEXCOORD_0"] = buffer.Floats(values, 2, TINYGLTF_TYPE_VEC2, kArrayBuffer, false);
	}
	if (skeleton.skinned) {
		int view = 0;
		Cursor out = buffer.View(count * 8, kArrayBuffer, view);
		for (std::size_t i = 0; i < count; ++i)
			for (std::uint16_t joint : influencesOf(corner(i)).joint)
				out.u16(joint);
		primitive.attributes["JOINTS_0"] = buffer.Accessor(view, kUshort, TINYGLTF_TYPE_VEC4, count);
		values.resize(count * 4);
		for (std::size_t i = 0; i < count; ++i) {
			const Influences in = influencesOf(corner(i));
			std::copy(in.weight.begin(), in.weight.end(), values.begin() + std::ptrdiff_t(i * 4));
		}
		primitive.attributes["WEIGHTS_0"] = buffer.Floats(values, 4, TINYGLTF_TYPE_VEC4, kArrayBuffer, false);
	}

	// morph targets: deltas between the stored arrays, in bind-pose model space
	morphs = MeshMorphs(info, mv.normals, animations);
	values.resize(count * 3);
	for (const MorphRef& ref : morphs) {
		const VAnim& entry = animations[ref.animation].anim.vanim[ref.entry];
		std::map<std::string, int> target;
		const int posTarget = entry.vtxArray == info.vtxArray ? ListTarget(entry.vtxTarget, ref.target) : -1;
		for (std::size_t i = 0; i < count; ++i) {
			const Vertex& v = corner(i);
			const Vec3* b = ArrayEntry(md.vtx, entry.vtxArray, v.posIndex);
			const Vec3* t = ArrayEntry(md.vtx, posTarget, v.posIndex);
			const float delta[3] = {b && t ? (*t)[0] - (*b)[0] : 0.0f, b && t ? (*t)[1] - (*b)[1] : 0.0f,
				b && t ? (*t)[2] - (*b)[2] : 0.0f};
			put(i, Linear(matrixOf(v), delta));
		}
		target["POSITION"] = buffer.Floats(values, 3, TINYGLTF_TYPE_VEC3, kArrayBuffer, true);
		if (mv.normals) {
			const int nrmTarget = entry.nrmArray == info.nrmArray ? ListTarget(entry.nrmTarget, ref.target) : -1;
			for (std::size_t i = 0; i < count; ++i) {
				const Vertex& v = corner(i);
				const Vec3* b = ArrayEntry(md.nrm, entry.nrmArray, v.nrmIndex);
				const Vec3* t = ArrayEntry(md.nrm, nrmTarget, v.nrmIndex);
				Vec3 d{0, 0, 0};
				if (b && t) {
					const Vec3 from = Unit(Linear(matrixOf(v), b->data()));
					const Vec3 to = Unit(Linear(matrixOf(v), t->data()));
					d = {to[0] - from[0], to[1] - from[1], to[2] - from[2]};
				}
				put(i, d);
			}
			target["NORMAL"] = buffer.Floats(values, 3, TINYGLTF_TYPE_VEC3, kArrayBuffer, false);
		}
		primitive.targets.push_back(std::move(target));
	}

	tinygltf::Mesh& mesh = gltf.meshes.emplace_back();
	mesh.name = j < model.names.meshes.size() ? model.names.meshes[j] : "mesh" + std::to_string(j);
	for (const MorphRef& ref : morphs) {
		// a still holds the weights of its frame; animations start from 0
		const VAnim& entry = animations[ref.animation].anim.vanim[ref.entry];
		const bool keyed = options.poseFrame >= 0.0f && ref.target < entry.weightKeys.size()
			&& !entry.weightKeys[ref.target].empty();
		mesh.weights.push_back(keyed ? InterpolateFrame(entry.weightKeys[ref.target], options.poseFrame) : 0.0);
	}
	mesh.primitives.push_back(std::move(primitive));

	tinygltf::Node node;
	node.name = mesh.name;
	node.mesh = int(gltf.meshes.size() - 1);
	if (skeleton.skinned)
		node.skin = 0;
	const int index = int(gltf.nodes.size());
	gltf.nodes[std::size_t(skeleton.root)].children.push_back(index);
	gltf.nodes.push_back(std::move(node));
	return index;
}

// The weights channels of SHP0 number `a`: one per mesh node it morphs,
// with every target of the mesh (those of other SHP0s at 0); false when it
// morphs none or has no frames.
bool MorphAnimation(Document& doc, std::size_t a, const GltfAnimation& source, const std::vector<int>& meshNodeOf,
	const std::vector<std::vector<MorphRef>>& morphsOf, float fps, tinygltf::Animation& out)
{
	const int frames = source.anim.nFrames;
	const auto fromThis = [a](const MorphRef& r) { return r.animation == a; };
	std::vector<std::size_t> morphed;
	for (std::size_t j = 0; j < meshNodeOf.size(); ++j)
		if (meshNodeOf[j] >= 0 && std::any_of(morphsOf[j].begin(), morphsOf[j].end(), fromThis))
			morphed.push_back(j);
	if (morphed.empty() || frames <= 0)
		return false;
	ChannelWriter writer{doc.buffer, out, TimeAccessor(doc.buffer, frames, fps), -1};
	std::vector<float> weights;
	for (std::size_t j : morphed) {
		const std::vector<MorphRef>& morphs = morphsOf[j];
		weights.clear();
		for (int f = 0; f < frames; ++f) {
			for (const MorphRef& ref : morphs) {
				float w = 0;
				if (ref.animation == a) {
					const VAnim& entry = source.anim.vanim[ref.entry];
					if (ref.target < entry.weightKeys.size() && !entry.weightKeys[ref.target].empty())
						w = InterpolateFrame(entry.weightKeys[ref.target], float(f));
				}
				weights.push_back(w);
			}
		}
		writer.Add(meshNodeOf[j], "weights", weights, morphs.size(), 1, TINYGLTF_TYPE_SCALAR);
	}
	return true;
}

} // namespace

GltfExport ExportToGLTF(const LoadedModel& model, std::span<const GltfTexture> textures,
	std::span<const GltfAnimation> animations, const GltfOptions& options)
{
	const BRMDL& md = model.MD;
	const std::size_t meshes = MeshCount(md);
	std::size_t triangles = 0;
	for (std::size_t j = 0; j < meshes; ++j)
		triangles += md.meshTris[j].size();
	if (triangles == 0) {
		GltfExport refused;
		refused.message = std::string(kNothingToExport);
		return refused;
	}

	auto doc = std::make_unique<Document>();
	tinygltf::Model& gltf = doc->gltf;
	gltf.asset.version = "2.0";
	gltf.asset.generator = "Zentarra";

	AnimState still;
	const Skeleton skeleton = AddNodes(*doc, model, NodePose(model, animations, options, still));
	AddMaterials(*doc, md, textures, options);
	std::vector<int> meshNodeOf(meshes, -1);
	std::vector<std::vector<MorphRef>> morphsOf(meshes);
	{
		MeshScratch scratch;
		for (std::size_t j = 0; j < meshes; ++j)
			meshNodeOf[j] = AddMesh(*doc, model, j, skeleton, animations, options, morphsOf[j], scratch);
	}
	for (std::size_t a = 0; a < (options.poseFrame >= 0.0f ? 0 : animations.size()); ++a) {
		const GltfAnimation& source = animations[a];
		tinygltf::Animation out;
		out.name = source.name;
		if (source.anim.type & 1) {
			if (!BoneAnimation(model, source, options.fps, doc->buffer, out)) {
				doc->Warn("Warning: the bone animation \"" + source.name
					+ "\" moves no bone of the model or has no frames; left out");
				continue;
			}
		} else if (source.anim.type & 2) {
			if (!MorphAnimation(*doc, a, source, meshNodeOf, morphsOf, options.fps, out)) {
				doc->Warn("Warning: the vertex animation \"" + source.name
					+ "\" morphs no mesh of the model or has no frames; left out");
				continue;
			}
		} else {
			continue;
		}
		gltf.animations.push_back(std::move(out));
	}

	tinygltf::Scene& scene = gltf.scenes.emplace_back();
	scene.name = gltf.nodes[std::size_t(skeleton.root)].name;
	scene.nodes = {skeleton.root};
	gltf.defaultScene = 0;

	GltfExport& result = doc->result;
	if (options.binary) {
		result.bytes = GlbContainer(DocumentJson(gltf, doc->bin.size(), ""), doc->bin);
	} else {
		const std::string binName = FileSafe(options.baseName) + ".bin";
		const std::string json = DocumentJson(gltf, doc->bin.size(), UriOf(binName));
		result.bytes.assign(json.begin(), json.end());
		result.sideFiles.insert(result.sideFiles.begin(), GltfFile{binName, std::move(doc->bin)});
	}
	result.ok = true;
	return std::move(result);
}

bool WriteGltfFiles(const std::filesystem::path& path, const GltfExport& exported)
{
	for (const GltfFile& file : exported.sideFiles)
		if (!WriteFileAtomically(path.parent_path() / file.name, file.bytes))
			return false;
	return WriteFileAtomically(path, exported.bytes);
}

} // namespace zentarra
