// Frames per second of the model view on the offscreen renderer at 1024 x 768
// (Mesa's software rasteriser where there is no GPU): farm_course and a
// synthetic 100k-triangle grid, drawn in immediate mode and with vertex
// arrays, lit, coloured and with axes as a fresh start shows them; and the
// time the viewer's textures take to make.
#include "anim/skinning.h"
#include "base/file_io.h"
#include "render/offscreen.h"
#include "render/renderer.h"
#include "view/input.h"
#include "view/viewer.h"
#include "support/brres_writer.h"
#include "support/tex0_writer.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <optional>

namespace {

using namespace zentarra;

struct SilentFront : ViewerFront {
	void ShowMessage(const MessageBox&) override {}
	std::vector<std::string> AskOpenFiles(const OpenFileRequest&) override { return {}; }
	std::optional<std::string> AskSaveFile(const SaveFileRequest&) override { return std::nullopt; }
	void SetTitle(int) override {}
};

ViewerState CorpusModel(const std::string& file, const std::string& model)
{
	SilentFront front;
	Viewer viewer(front);
	viewer.OpenFiles({std::string(ZENTARRA_CORPUS) + "/" + file});
	for (const ItemRecord& item : viewer.items().items())
		if (item.kind == ItemKind::MDL0 && item.name == model)
			viewer.LoadModel(item.id);
	return viewer.state();
}

// rows x cols quads of two triangles in the XY plane, a colour per corner.
ViewerState Grid(int rows, int cols)
{
	ViewerState state;
	BRMDL& MD = state.model.MD;
	const auto point = [rows, cols](int r, int c) {
		Vertex v;
		v.pos[0] = v.posedPos[0] = float(c) / float(cols) - 0.5f;
		v.pos[1] = v.posedPos[1] = float(r) / float(rows) - 0.5f;
		v.pos[2] = v.posedPos[2] = float((r * 7 + c * 13) % 17) * 0.001f;
		v.nrm[2] = v.posedNrm[2] = 1.0f;
		v.color[0] = float(r % 2);
		v.color[1] = float(c % 2);
		v.color[2] = 0.5f;
		v.color[3] = 1.0f;
		return v;
	};
	std::vector<Triangle>& triangles = MD.meshTris.emplace_back();
	for (int r = 0; r < rows; ++r)
		for (int c = 0; c < cols; ++c) {
			triangles.push_back(Triangle{{point(r, c), point(r, c + 1), point(r + 1, c)}});
			triangles.push_back(Triangle{{point(r, c + 1), point(r + 1, c + 1), point(r + 1, c)}});
		}
	MD.nMesh = 1;
	MD.meshVisible = {1};
	MD.meshCull = {0};
	MD.meshMat = {0};
	MD.meshInfo.emplace_back();
	state.model.names.meshes = {"grid"};
	state.MV.radius = CalcRadMax(MD);
	ResetModelView(state.MV);
	state.MV.rotZ = state.MV.rotY = 0.0f;
	return state;
}

void DrawFrames(benchmark::State& bench, const ViewerState& state, render::DrawMode mode)
{
	std::string error;
	const std::unique_ptr<render::OffscreenContext> context = render::OffscreenContext::Create(1024, 768, error);
	if (!context) {
		bench.SkipWithError(error.c_str());
		return;
	}
	render::Renderer renderer;
	renderer.setDrawMode(mode);
	renderer.InitGL();
	renderer.Resize(1024, 768, state.MV.radius * 50.0f, state.disp.view);
	for (auto _ : bench) {
		renderer.Draw(state);
		glFinish(); // the frame is drawn, not only queued
	}
	renderer.ReleaseGL();
	bench.counters["fps"] = benchmark::Counter(double(bench.iterations()), benchmark::Counter::kIsRate);
}

void BM_DrawFarmCourse(benchmark::State& bench, render::DrawMode mode)
{
	static const ViewerState state = CorpusModel("brres/farm_course.brres", "course");
	if (state.model.MD.nMesh == 0) {
		bench.SkipWithError("farm_course did not load");
		return;
	}
	DrawFrames(bench, state, mode);
}

void BM_DrawGrid100k(benchmark::State& bench, render::DrawMode mode)
{
	static const ViewerState state = Grid(250, 200);
	DrawFrames(bench, state, mode);
}

// Decoding, rescaling, mirroring and uploading every texture of farm_course
// (the corpus model with the most texture bytes), as "Reload Textures" does;
// the frame drawn is the empty texture view, so the time is the textures'.
void BM_AutoLoadTexFarmCourse(benchmark::State& bench)
{
	std::string error;
	const std::unique_ptr<render::OffscreenContext> context = render::OffscreenContext::Create(64, 64, error);
	if (!context) {
		bench.SkipWithError(error.c_str());
		return;
	}
	SilentFront front;
	Viewer viewer(front);
	viewer.OpenFiles({std::string(ZENTARRA_CORPUS) + "/brres/farm_course.brres"});
	viewer.LoadModel(viewer.FindEntry("course", ItemKind::MDL0));
	viewer.editState().disp.view = kTextureView;
	render::Renderer renderer;
	renderer.InitGL();
	for (auto _ : bench) {
		viewer.Command(kCmdReloadTextures);
		viewer.editState().disp.view = kTextureView;
		renderer.Draw(viewer.state());
		glFinish();
	}
	renderer.ReleaseGL();
}

// "Load and Display" of a 1024 x 1024 CMPR texture: decode, pad, grey
// alpha, both uploads and the frame that shows it.
void BM_LoadFlatTexCMPR1024(benchmark::State& bench)
{
	std::string error;
	const std::unique_ptr<render::OffscreenContext> context = render::OffscreenContext::Create(1024, 1024, error);
	if (!context) {
		bench.SkipWithError(error.c_str());
		return;
	}
	const int size = 1024;
	std::vector<std::uint8_t> rgba(std::size_t(size) * size * 4);
	for (std::size_t i = 0; i < rgba.size(); ++i)
		rgba[i] = std::uint8_t((i * 2654435761u) >> 13);
	const std::string path = std::filesystem::temp_directory_path() / "zentarra-bench-cmpr.brres";
	WriteFileAtomically(path, testing::BuildBRRES({{"Textures(NW4R)",
		{{"big", testing::BuildTEX0(14, size, size, testing::EncodeCMPR(size, size, rgba))}}}}));
	SilentFront front;
	Viewer viewer(front);
	viewer.OpenFiles({path});
	const int item = viewer.FindEntry("big", ItemKind::TEX0);
	render::Renderer renderer;
	renderer.InitGL();
	renderer.Resize(size, size, 500.0f, kTextureView);
	for (auto _ : bench) {
		viewer.ActivateFileItem(item);
		renderer.Draw(viewer.state());
		glFinish();
	}
	renderer.ReleaseGL();
	std::filesystem::remove(path);
}

BENCHMARK(BM_AutoLoadTexFarmCourse)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadFlatTexCMPR1024)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_DrawFarmCourse, immediate, render::DrawMode::Immediate)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_DrawFarmCourse, arrays, render::DrawMode::VertexArrays)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_DrawGrid100k, immediate, render::DrawMode::Immediate)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_DrawGrid100k, arrays, render::DrawMode::VertexArrays)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
