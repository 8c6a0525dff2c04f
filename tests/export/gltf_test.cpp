// glTF export read back with tinygltf: positions skinned and morphed by the
// file's own joints, animation samples and morph targets equal the core's
// posed corners; damage refuses.
#include "anim/anim_loading.h"
#include "anim/skinning.h"
#include "archive/archive_files.h"
#include "archive/brres_directory.h"
#include "export/gltf.h"
#include "export/gltf_sources.h"
#include "model/mdl0_reader.h"
#include "support/corpus.h"

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace zentarra {
namespace {

using Mat4 = std::array<double, 16>; // column-major, as glTF stores it

Mat4 Multiply(const Mat4& a, const Mat4& b)
{
	Mat4 out{};
	for (std::size_t c = 0; c < 4; ++c)
		for (std::size_t r = 0; r < 4; ++r)
			for (std::size_t k = 0; k < 4; ++k)
				out[c * 4 + r] += a[k * 4 + r] * b[c * 4 + k];
	return out;
}

Mat4 Trs(const std::vector<double>& t, const std::vector<double>& q, const std::vector<double>& s)
{
	const double x = q[0], y = q[1], z = q[2], w = q[3];
	return {(1 - 2 * (y * y + z * z)) * s[0], 2 * (x * y + z * w) * s[0], 2 * (x * z - y * w) * s[0], 0,
		2 * (x * y - z * w) * s[1], (1 - 2 * (x * x + z * z)) * s[1], 2 * (y * z + x * w) * s[1], 0,
		2 * (x * z + y * w) * s[2], 2 * (y * z - x * w) * s[2], (1 - 2 * (x * x + y * y)) * s[2], 0, t[0], t[1], t[2], 1};
}

// An accessor's elements, tightly packed as the export writes them.
template <typename T>
std::vector<T> Read(const tinygltf::Model& gltf, int accessor)
{
	const tinygltf::Accessor& a = gltf.accessors.at(std::size_t(accessor));
	const tinygltf::BufferView& view = gltf.bufferViews.at(std::size_t(a.bufferView));
	const std::size_t n = a.count * std::size_t(tinygltf::GetNumComponentsInType(std::uint32_t(a.type)));
	EXPECT_EQ(std::size_t(tinygltf::GetComponentSizeInBytes(std::uint32_t(a.componentType))), sizeof(T));
	std::vector<T> out(n);
	std::memcpy(out.data(), gltf.buffers.at(std::size_t(view.buffer)).data.data() + view.byteOffset + a.byteOffset,
		n * sizeof(T));
	return out;
}

// A sampler's value at time t; the export keys every frame, so t lands on a key.
std::vector<double> Sample(const tinygltf::Model& gltf, const tinygltf::AnimationSampler& sampler, double t)
{
	const std::vector<float> times = Read<float>(gltf, sampler.input), values = Read<float>(gltf, sampler.output);
	const std::size_t width = values.size() / times.size();
	std::size_t i = 0;
	while (i + 1 < times.size() && times[i + 1] <= t + 1e-4)
		++i;
	const auto key = values.begin() + std::ptrdiff_t(i * width);
	return std::vector<double>(key, key + std::ptrdiff_t(width));
}

tinygltf::Model LoadGlb(const std::vector<std::uint8_t>& glb)
{
	tinygltf::TinyGLTF loader;
	loader.SetImageLoader([](tinygltf::Image* image, int, std::string*, std::string*, int, int, const unsigned char* bytes,
							  int size, void*) { return image->image.assign(bytes, bytes + size), true; },
		nullptr);
	tinygltf::Model gltf;
	std::string err, warn;
	EXPECT_TRUE(loader.LoadBinaryFromMemory(&gltf, &err, &warn, glb.data(), unsigned(glb.size()))) << err;
	return gltf;
}

// Every corner of every mesh in scene order, skinned and morphed by the file's own data at time t.
std::vector<std::array<double, 3>> PosedCorners(const tinygltf::Model& gltf, double t)
{
	std::vector<std::vector<double>> trans, rot, scale, weights(gltf.nodes.size());
	for (const tinygltf::Node& node : gltf.nodes) {
		trans.push_back(node.translation.empty() ? std::vector<double>{0, 0, 0} : node.translation);
		rot.push_back(node.rotation.empty() ? std::vector<double>{0, 0, 0, 1} : node.rotation);
		scale.push_back(node.scale.empty() ? std::vector<double>{1, 1, 1} : node.scale);
	}
	for (const tinygltf::Animation& animation : gltf.animations)
		for (const tinygltf::AnimationChannel& channel : animation.channels) {
			const std::string& path = channel.target_path;
			auto& track = path == "translation" ? trans : path == "rotation" ? rot : path == "scale" ? scale : weights;
			track[std::size_t(channel.target_node)] = Sample(gltf, animation.samplers.at(std::size_t(channel.sampler)), t);
		}
	std::vector<Mat4> global(gltf.nodes.size());
	const auto visit = [&](auto& self, std::size_t n, const Mat4& parent) -> void {
		global[n] = Multiply(parent, Trs(trans[n], rot[n], scale[n]));
		for (int child : gltf.nodes[n].children)
			self(self, std::size_t(child), global[n]);
	};
	for (int root : gltf.scenes.at(0).nodes)
		visit(visit, std::size_t(root), Mat4{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});

	std::vector<std::array<double, 3>> out;
	for (std::size_t n = 0; n < gltf.nodes.size(); ++n) {
		const tinygltf::Node& node = gltf.nodes[n];
		if (node.mesh < 0)
			continue;
		const tinygltf::Primitive& primitive = gltf.meshes.at(std::size_t(node.mesh)).primitives.at(0);
		std::vector<float> positions = Read<float>(gltf, primitive.attributes.at("POSITION"));
		const std::vector<double> w = weights[n].empty() ? gltf.meshes[std::size_t(node.mesh)].weights : weights[n];
		for (std::size_t k = 0; k < primitive.targets.size(); ++k) {
			const std::vector<float> delta = Read<float>(gltf, primitive.targets[k].at("POSITION"));
			for (std::size_t i = 0; i < positions.size(); ++i)
				positions[i] = float(positions[i] + w.at(k) * delta[i]);
		}
		// an unskinned mesh as skinned by one joint: its node
		std::vector<Mat4> joints = {global[n]};
		std::vector<std::uint16_t> jointIds(positions.size() / 3 * 4);
		std::vector<float> jointWeights(jointIds.size());
		for (std::size_t i = 0; i < jointWeights.size(); i += 4)
			jointWeights[i] = 1;
		if (node.skin >= 0) {
			const tinygltf::Skin& skin = gltf.skins.at(std::size_t(node.skin));
			const std::vector<float> ibm = Read<float>(gltf, skin.inverseBindMatrices);
			joints.clear();
			for (std::size_t j = 0; j < skin.joints.size(); ++j) {
				Mat4 inverse;
				std::copy_n(ibm.begin() + std::ptrdiff_t(j * 16), 16, inverse.begin());
				joints.push_back(Multiply(global[std::size_t(skin.joints[j])], inverse));
			}
			jointIds = Read<std::uint16_t>(gltf, primitive.attributes.at("JOINTS_0"));
			jointWeights = Read<float>(gltf, primitive.attributes.at("WEIGHTS_0"));
		}
		for (std::uint32_t index : Read<std::uint32_t>(gltf, primitive.indices)) {
			const float* p = &positions[index * 3];
			std::array<double, 3>& posed = out.emplace_back();
			for (std::size_t i = 0; i < 4; ++i) {
				const Mat4& m = joints.at(jointIds[index * 4 + i]);
				for (std::size_t r = 0; r < 3; ++r)
					posed[r] += jointWeights[index * 4 + i] * (m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r]);
			}
		}
	}
	return out;
}

struct CorpusFile {
	explicit CorpusFile(const std::string& file) : path(testing::kCorpusDir + "/brres/" + file)
	{
		bytes = ReadWholeFile(path).bytes;
		ByteView view(bytes);
		ReadBRRES(view, path, items, nullptr);
	}
	std::size_t Offset(std::string_view name, ItemKind kind) const
	{
		const ItemRecord* item = items.FindItem(name, kind, 0);
		EXPECT_TRUE(item) << name << " in " << path;
		return item ? item->offset : 0;
	}
	std::string path;
	std::vector<std::uint8_t> bytes;
	OpenArchives items;
};

// The corners from the file, at the animation's frame or as a still at it,
// against the core's posed corners at that frame.
TEST(ExportToGLTF, SkinnedAndMorphedPositionsEqualTheCorePoseAndTexturesDecodeWithoutWarnings)
{
	const struct {
		std::string archive, model, animArchive, anim;
		ItemKind kind;
		int frame;
		bool still;
	} cases[] = {
		{"kuribo.brres", "kuribo", "kuribo.brres", "walk_l", ItemKind::CHR0, 30, false},
		{"human_walk.brres", "human_walk", "human_walk_chr0.brres", "human_walk", ItemKind::CHR0, 35, false},
		{"kuribo.brres", "kuribo", "kuribo.brres", "walk_l", ItemKind::CHR0, 30, true},
		{"FlagB2.brres", "FlagB2", "FlagB2.brres", "FlagB2", ItemKind::SHP0, 17, true},
	};
	for (const auto& c : cases) {
		SCOPED_TRACE(c.model + " " + c.anim + (c.still ? " still" : ""));
		const CorpusFile file(c.archive), animFile(c.animArchive);
		const std::size_t animOffset = animFile.Offset(c.anim, c.kind);
		auto model = std::make_unique<LoadedModel>();
		ByteView view(file.bytes), animView(animFile.bytes);
		ASSERT_TRUE(ReadModel(view, file.Offset(c.model, ItemKind::MDL0), c.model, *model).ok);
		ArchiveFiles files;
		files.Put(file.path, file.bytes);
		std::vector<std::string> warnings;
		const std::vector<GltfTexture> textures = DecodeGltfTextures(*model, 0, file.items, files, warnings); // 0: the archive
		EXPECT_TRUE(warnings.empty()) << warnings.front();
		GltfAnimation animation;
		const GltfSourceRead read = c.kind == ItemKind::CHR0
			? ReadGltfBoneAnimation(animView, animOffset, c.anim, *model, animation)
			: ReadGltfVertexAnimation(animView, animOffset, c.anim, *model, animation);
		ASSERT_TRUE(read.ok) << read.message;
		const GltfExport glb =
			ExportToGLTF(*model, textures, std::span(&animation, 1), {.poseFrame = c.still ? float(c.frame) : -1.0f});
		ASSERT_TRUE(glb.ok) << glb.message;
		const tinygltf::Model gltf = LoadGlb(glb.bytes);
		ASSERT_EQ(gltf.animations.size(), c.still ? 0u : 1u);
		const std::vector<std::array<double, 3>> fromFile = PosedCorners(gltf, c.frame / 60.0);

		const AnimLoadResult loaded = c.kind == ItemKind::CHR0 ? LoadAnimation(*model, animView, animOffset, c.anim, 0)
															   : LoadVertexAnimation(*model, animView, animOffset);
		ASSERT_TRUE(loaded.ok) << loaded.message;
		model->anim.frame = float(c.frame);
		RecalculateModel(model->MD, model->nodelist, model->anim);
		std::size_t k = 0;
		for (const std::vector<Triangle>& mesh : model->MD.meshTris)
			for (const Triangle& triangle : mesh)
				for (const Vertex& corner : triangle.v) {
					ASSERT_LT(k, fromFile.size());
					for (std::size_t r = 0; r < 3; ++r)
						ASSERT_NEAR(fromFile[k][r], corner.posedPos[r], 1e-4 * std::max(1.0f, std::fabs(corner.posedPos[r])));
					++k;
				}
		EXPECT_EQ(k, fromFile.size());
	}
}

// A triangle on a weighted node blending six bones; then a damaged parent table.
TEST(ExportToGLTF, WeightsKeepTheFourLargestAndParentLoopsHangFromTheRoot)
{
	auto model = std::make_unique<LoadedModel>();
	std::vector<Node>& nodes = model->nodelist;
	nodes.resize(7);
	for (int b = 0; b < 6; ++b) {
		nodes[std::size_t(b)].bone = b;
		model->names.bones.push_back("bone" + std::to_string(b));
		model->bonemap.push_back(b);
		nodes[6].wNode.push_back(b);
	}
	nodes[6].nWeights = 6;
	nodes[6].weight = {0.05f, 0.3f, 0.1f, 0.25f, 0.2f, 0.1f};
	model->nBones = 6;
	model->nNodes = 7;
	ResetBones(model->MD, nodes);
	Triangle triangle;
	for (std::size_t c = 0; c < 3; ++c)
		std::tie(triangle.v[c].pos[c % 2], triangle.v[c].node, triangle.v[c].posIndex) = std::tuple(float(c), 6, int(c));
	model->MD.meshTris = {{triangle}};
	model->MD.meshInfo.emplace_back();
	model->MD.nMesh = 1;
	const GltfExport glb = ExportToGLTF(*model, {}, {}, GltfOptions{});
	EXPECT_EQ(glb.warnings.size(), 1u); // once, not per vertex
	tinygltf::Model gltf = LoadGlb(glb.bytes);
	const tinygltf::Primitive& primitive = gltf.meshes.at(0).primitives.at(0);
	const std::vector<std::uint16_t> joints = Read<std::uint16_t>(gltf, primitive.attributes.at("JOINTS_0"));
	const std::vector<float> weights = Read<float>(gltf, primitive.attributes.at("WEIGHTS_0"));
	EXPECT_EQ(std::vector<std::uint16_t>(joints.begin(), joints.begin() + 4), (std::vector<std::uint16_t>{1, 3, 4, 2}));
	EXPECT_NEAR(weights.at(0), 0.3f / 0.85f, 1e-6);

	nodes[1].parent = 2; // a loop of two
	nodes[2].parent = 1;
	nodes[3].parent = 3; // a node its own parent
	nodes[4].parent = 1; // hanging from a loop: keeps its parent
	nodes[5].parent = 99; // outside the table
	gltf = LoadGlb(ExportToGLTF(*model, {}, {}, GltfOptions{}).bytes);
	ASSERT_EQ(gltf.scenes.at(0).nodes, std::vector<int>{7});
	EXPECT_EQ(gltf.nodes.at(7).children, (std::vector<int>{0, 1, 2, 3, 5, 6, 8})); // 8: the mesh
	EXPECT_EQ(gltf.nodes.at(1).children, std::vector<int>{4});
}

// Prefixes of a real model, and of its animation beside the whole model: the
// export refuses with a message or writes a file tinygltf reads.
TEST(ExportToGLTF, DamagedModelsAndAnimationsExportOrRefuse)
{
	const CorpusFile file("kuribo.brres");
	const std::size_t modelAt = file.Offset("kuribo", ItemKind::MDL0), animAt = file.Offset("walk_l", ItemKind::CHR0);
	const auto exportPrefix = [&](std::size_t modelBytes, std::size_t animBytes) {
		SCOPED_TRACE("model cut at " + std::to_string(modelBytes) + ", animation at " + std::to_string(animBytes));
		const std::vector<std::uint8_t> model(file.bytes.begin(), file.bytes.begin() + std::ptrdiff_t(modelBytes));
		const std::vector<std::uint8_t> anim(file.bytes.begin(), file.bytes.begin() + std::ptrdiff_t(animBytes));
		ByteView modelView(model), animView(anim);
		auto loaded = std::make_unique<LoadedModel>();
		if (!ReadModel(modelView, modelAt, "", *loaded).ok)
			return;
		GltfAnimation animation;
		const bool animated = ReadGltfBoneAnimation(animView, animAt, "walk_l", *loaded, animation).ok;
		const GltfExport glb = ExportToGLTF(*loaded, {}, std::span(&animation, animated ? 1 : 0), GltfOptions{});
		if (glb.ok)
			LoadGlb(glb.bytes);
		else
			EXPECT_EQ(glb.message, kNothingToExport);
	};
	const std::size_t end = file.bytes.size();
	for (std::size_t n = modelAt; n <= end; n += (end - modelAt) / 300 + 1)
		exportPrefix(n, end);
	for (std::size_t n = animAt; n <= end; n += (end - animAt) / 300 + 1)
		exportPrefix(end, n);
}

} // namespace
} // namespace zentarra
