// ReadModel, from the archive's bytes in memory to the model in its bind
// pose, on the largest corpus models and on written grids of 10k, 100k and
// 1M triangles. Each read releases the previous model first, as a load in
// the viewer does. Triangles per second should stay flat from size to size.
#include "archive/brres_directory.h"
#include "base/file_io.h"
#include "model/mdl0_reader.h"
#include "support/mdl0_writer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>

namespace {

using namespace zentarra;
using namespace zentarra::testing;

std::size_t TrianglesOf(const BRMDL& md)
{
	std::size_t count = 0;
	for (const std::vector<Triangle>& tris : md.meshTris)
		count += tris.size();
	return count;
}

void ReadRepeatedly(benchmark::State& state, const std::vector<std::uint8_t>& bytes, std::size_t offset,
	std::size_t subFileSize)
{
	auto model = std::make_unique<LoadedModel>();
	ByteView first(bytes);
	const ModelReadResult result = ReadModel(first, offset, "", *model);
	if (!result.ok || result.damaged) {
		state.SkipWithError(("model not read whole: " + result.message).c_str());
		return;
	}
	const std::size_t triangles = TrianglesOf(model->MD);
	for (auto _ : state) {
		ByteView view(bytes);
		benchmark::DoNotOptimize(ReadModel(view, offset, "", *model));
	}
	state.counters["triangles"] = double(triangles);
	state.counters["triangles/s"] = benchmark::Counter(double(triangles), benchmark::Counter::kIsIterationInvariantRate);
	state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(subFileSize));
}

// The first MDL0 of a corpus archive, found by the archive scan.
void BM_ReadCorpusModel(benchmark::State& state, const char* file)
{
	const FileBytes archive = ReadWholeFile(std::string(ZENTARRA_CORPUS "/brres/") + file);
	if (archive.status != ReadStatus::Ok) {
		state.SkipWithError("corpus archive missing");
		return;
	}
	OpenArchives items;
	ByteView view(archive.bytes);
	ReadBRRES(view, file, items, nullptr);
	for (const ItemRecord& item : items.items())
		if (item.kind == ItemKind::MDL0) {
			ReadRepeatedly(state, archive.bytes, item.offset, R32(view, item.offset + 4));
			return;
		}
	state.SkipWithError("no model in the archive");
}
BENCHMARK_CAPTURE(BM_ReadCorpusModel, farm_course, "farm_course.brres")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadCorpusModel, beginner_course, "beginner_course.brres")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadCorpusModel, old_mario_gc_hayasi, "old_mario_gc_hayasi.brres")->Unit(benchmark::kMillisecond);

// One mesh of `triangles` triangles: strips along the rows of a grid 256
// points wide, with about one point for every two triangles as in real
// meshes, up to 255 rows; past that the strips start again at the top. Every
// corner has a 16-bit position, normal and texture-coordinate index.
Mdl0Model Grid(std::size_t triangles)
{
	constexpr int kSide = 256; // points per row
	// at most 65,280 points: array counts are 16-bit
	const int rows = int(std::min<std::size_t>(255, triangles / (2 * (kSide - 1)) + 2));
	Mdl0Model model;
	model.name = "grid";
	VertexArray positions{.name = "grid_pos", .format = 3, .shift = 4};
	VertexArray normals{.name = "grid_nrm", .format = 3, .shift = 14};
	VertexArray uvs{.format = 3, .shift = 8, .components = 2};
	for (int r = 0; r < rows; ++r)
		for (int c = 0; c < kSide; ++c) {
			positions.values.insert(positions.values.end(), {float(c), float((r * 7 + c * 13) % 64), float(r)});
			normals.values.insert(normals.values.end(), {0, 1, 0});
			uvs.values.insert(uvs.values.end(), {float(c) / 32, float(r) / 32});
		}
	model.positions = {positions};
	model.normals = {normals};
	model.texCoords = {uvs};
	model.bones = {{.name = "root"}};
	model.materials = {{.name = "grid", .layers = {{.texture = "grid"}}}};
	model.drawLists = {{"DrawOpa", {{.material = 0, .mesh = 0}}}};

	Mdl0Mesh mesh{.name = "grid", .nrmArray = 0, .posSize = 2, .nrmSize = 2, .texSize = {2}};
	mesh.uvArray[0] = 0;
	std::size_t left = triangles;
	for (int row = 0; left > 0; row = (row + 1) % (rows - 1)) {
		const std::size_t strip = std::min<std::size_t>(left, 2 * (kSide - 1));
		std::vector<int> indices;
		for (std::size_t k = 0; k < strip + 2; ++k)
			indices.push_back((row + int(k % 2 == 0)) * kSide + int(k / 2));
		mesh.primitives.push_back(Strip(indices));
		left -= strip;
	}
	model.meshes = {mesh};
	return model;
}

void BM_ReadGridModel(benchmark::State& state)
{
	const Mdl0Model grid = Grid(std::size_t(state.range(0)));
	const ModelArchive archive = BuildModelArchive(grid);
	ReadRepeatedly(state, archive.bytes, archive.offset, archive.bytes.size());
}
BENCHMARK(BM_ReadGridModel)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

} // namespace
