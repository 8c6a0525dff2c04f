// ExportToGLTF (.glb, in memory): farm_course with its textures (PNG
// encoding included), human_walk with its one animation, one grid mesh of
// 100k and 1M triangles, and the 2M-triangle model the reader allows at
// most, which reports the process's peak resident size. Time per triangle
// should stay flat from grid to grid and match the OBJ export's or better.
#include "archive/archive_files.h"
#include "archive/brres_directory.h"
#include "base/file_io.h"
#include "export/gltf.h"
#include "export/gltf_sources.h"
#include "model/mdl0_reader.h"
#include "grid_mesh.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <memory>
#include <string>

namespace {

using namespace zentarra;

struct CorpusModel {
	std::unique_ptr<LoadedModel> model = std::make_unique<LoadedModel>();
	std::vector<GltfTexture> textures;
	std::vector<GltfAnimation> animations;
	bool ok = false;
};

// The first MDL0 of a corpus archive with its textures, and the CHR0 `anim`
// of archive `animFile` when given.
CorpusModel ReadCorpusModel(const char* file, const char* animFile = nullptr, const char* anim = nullptr)
{
	CorpusModel out;
	const std::string path = std::string(ZENTARRA_CORPUS "/brres/") + file;
	FileBytes archive = ReadWholeFile(path);
	OpenArchives items;
	ByteView view(archive.bytes);
	ReadBRRES(view, path, items, nullptr);
	for (const ItemRecord& item : items.items()) {
		if (item.kind != ItemKind::MDL0 || !ReadModel(view, item.offset, item.name, *out.model).ok)
			continue;
		ArchiveFiles files;
		files.Put(path, archive.bytes);
		std::vector<std::string> warnings;
		out.textures = DecodeGltfTextures(*out.model, item.archive, items, files, warnings);
		out.ok = true;
		break;
	}
	if (out.ok && animFile) {
		const std::string animPath = std::string(ZENTARRA_CORPUS "/brres/") + animFile;
		FileBytes animBytes = ReadWholeFile(animPath);
		OpenArchives animItems;
		ByteView animView(animBytes.bytes);
		ReadBRRES(animView, animPath, animItems, nullptr);
		for (const ItemRecord& item : animItems.items())
			if (item.kind == ItemKind::CHR0 && item.name == anim)
				out.ok = ReadGltfBoneAnimation(animView, item.offset, anim, *out.model, out.animations.emplace_back()).ok;
	}
	return out;
}

// rows x cols quads, two triangles each, on one bone; every attribute
// indexes the grid point, so nearly every corner is a duplicate.
std::unique_ptr<LoadedModel> Grid(int rows, int cols)
{
	auto model = std::make_unique<LoadedModel>();
	model->nodelist.resize(1);
	model->nodelist[0].bone = 0;
	model->nBones = model->nNodes = 1;
	model->bonemap = {0};
	model->names.bones = {"root"};
	model->names.meshes = {"grid"};
	BRMDL& md = model->MD;
	md.nMesh = 1;
	md.meshInfo.emplace_back();
	md.meshTris.push_back(testing::GridTriangles(rows, cols));
	return model;
}

void Run(benchmark::State& state, const LoadedModel& model, std::span<const GltfTexture> textures,
	std::span<const GltfAnimation> animations)
{
	std::size_t triangles = 0;
	for (const std::vector<Triangle>& tris : model.MD.meshTris)
		triangles += tris.size();
	std::size_t bytes = 0;
	for (auto _ : state) {
		const GltfExport glb = ExportToGLTF(model, textures, animations, GltfOptions{});
		bytes = glb.bytes.size();
		benchmark::DoNotOptimize(glb.bytes.data());
	}
	state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(triangles));
	state.counters["bytes"] = double(bytes);
}

// Without textures, what is left is the geometry and animation, as the OBJ
// and PSK exports measure it.
void BM_CorpusToGLB(benchmark::State& state, const char* file, const char* animFile, const char* anim, bool textures)
{
	const CorpusModel corpus = ReadCorpusModel(file, animFile, anim);
	if (!corpus.ok) {
		state.SkipWithError("corpus model missing");
		return;
	}
	Run(state, *corpus.model, textures ? std::span(corpus.textures) : std::span<const GltfTexture>(), corpus.animations);
}
BENCHMARK_CAPTURE(BM_CorpusToGLB, farm_course, "farm_course.brres", nullptr, nullptr, true)
	->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CorpusToGLB, farm_course_no_textures, "farm_course.brres", nullptr, nullptr, false)
	->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CorpusToGLB, human_walk_with_walk, "human_walk.brres", "human_walk_chr0.brres", "human_walk", true)
	->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CorpusToGLB, human_walk_with_walk_no_textures, "human_walk.brres", "human_walk_chr0.brres",
	"human_walk", false)
	->Unit(benchmark::kMillisecond);

void BM_GridToGLB(benchmark::State& state)
{
	const int rows = int(state.range(0));
	const auto model = Grid(rows, int(state.range(1) / 2 / rows));
	Run(state, *model, {}, {});
}
// {rows, triangles}
BENCHMARK(BM_GridToGLB)->Args({200, 100'000})->Args({500, 1'000'000})->Unit(benchmark::kMillisecond);

// The largest model the reader accepts: it must export, and its peak
// resident size (the model included) is reported in MiB.
void BM_LimitModelToGLB(benchmark::State& state)
{
	const auto model = Grid(1000, int(kMaxTriangles / 2 / 1000));
	Run(state, *model, {}, {});
	rusage usage{};
	getrusage(RUSAGE_SELF, &usage);
	state.counters["peak_MiB"] = double(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB
}
BENCHMARK(BM_LimitModelToGLB)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
