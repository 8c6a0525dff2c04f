// ExportToOBJ on one grid mesh of 10k, 100k and 1M triangles. Grid points are
// shared by up to six triangles, so nearly every corner is a duplicate and
// the de-duplication is what is measured, with the text it feeds. Time per
// triangle should stay flat from size to size.
#include "export/obj.h"

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

	const auto point = [rows, cols](int r, int c) {
		Vertex v;
		const int index = r * (cols + 1) + c;
		v.posIndex = v.nrmIndex = v.uvIndex = index;
		v.node = 0;
		v.posedPos[0] = float(c) * 0.37f - 100.0f;
		v.posedPos[1] = float(r) * 0.53f - 100.0f;
		v.posedPos[2] = float((r * 7 + c * 13) % 101) * 0.01f;
		v.posedNrm[2] = 1.0f;
		v.uv[0] = float(c) / float(cols);
		v.uv[1] = float(r) / float(rows);
		return v;
	};
	std::vector<Triangle>& triangles = model.meshTris.emplace_back();
	triangles.reserve(std::size_t(rows) * std::size_t(cols) * 2);
	for (int r = 0; r < rows; ++r) {
		for (int c = 0; c < cols; ++c) {
			triangles.push_back(Triangle{{point(r, c), point(r, c + 1), point(r + 1, c)}});
			triangles.push_back(Triangle{{point(r, c + 1), point(r + 1, c + 1), point(r + 1, c)}});
		}
	}
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
		const std::string text = ExportToOBJ(model, names, "grid", false);
		bytes = text.size();
		benchmark::DoNotOptimize(text.data());
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

