// FormatOBJ on one grid mesh of 10k, 100k and 1M triangles. Grid points are
// shared by up to six triangles, so nearly every corner is a duplicate and
// the de-duplication is what is measured, with the text it feeds. Time per
// triangle should stay flat from size to size.
#include "export/obj.h"
#include "grid_mesh.h"

#include <benchmark/benchmark.h>

namespace {

using namespace zentarra;

// rows x cols quads, two triangles each; every attribute indexes the grid point.
BRMDL Grid(int rows, int cols)
{
	BRMDL model;
	model.nMesh = 1;
	model.meshVisible = {1};
	model.meshMat = {0};
	model.nMat = 1;
	model.hasMat = 1;
	model.texName = {"grid"};
	model.palName = {""};

	model.meshTris.push_back(testing::GridTriangles(rows, cols));
	return model;
}

void BM_ExportToOBJ(benchmark::State& state)
{
	const int rows = int(state.range(0));
	const int cols = int(state.range(1) / 2 / rows);
	const BRMDL model = Grid(rows, cols);
	const ModelNames names{{}, {}, {}, {"grid"}};
	const std::size_t triangles = model.meshTris[0].size();
	std::size_t bytes = 0;
	for (auto _ : state) {
		const ObjText text = FormatOBJ(model, names, "grid", false); // as the command line writes it
		bytes = text.size;
		benchmark::DoNotOptimize(text.text.get());
	}
	state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(triangles));
	state.counters["bytes"] = double(bytes);
}
// {rows, triangles}
BENCHMARK(BM_ExportToOBJ)
	->Args({50, 10'000})
	->Args({200, 100'000})
	->Args({500, 1'000'000})
	->Unit(benchmark::kMillisecond);

} // namespace

