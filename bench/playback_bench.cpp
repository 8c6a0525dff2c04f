// Frames per second of the viewer playing human_walk with human_walk_chr0:
// each frame one playback step (RecalculateModel: bone matrices and the
// skinning of every corner) and one DrawModel into the offscreen
// framebuffer at 1024 x 768, as the window's frame loop does.
#include "render/offscreen.h"
#include "render/renderer.h"
#include "view/viewer.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <memory>
#include <optional>

namespace {

using namespace zentarra;

struct QuietFront : ViewerFront {
	void ShowMessage(const MessageBox&) override {}
	std::vector<std::string> AskOpenFiles(const OpenFileRequest&) override { return {}; }
	std::optional<std::string> AskSaveFile(const SaveFileRequest&) override { return std::nullopt; }
	void SetTitle(int) override {}
};

void BM_PlayHumanWalk(benchmark::State& bench)
{
	std::string error;
	auto context = render::OffscreenContext::Create(1024, 768, error);
	if (!context) {
		bench.SkipWithError(error.c_str());
		return;
	}
	QuietFront front;
	Viewer viewer(front);
	const std::string corpus = ZENTARRA_CORPUS;
	viewer.OpenFiles({corpus + "/brres/human_walk.brres", corpus + "/brres/human_walk_chr0.brres"});
	viewer.LoadModel(viewer.FindEntry("human_walk", ItemKind::MDL0));
	viewer.ActivateFileItem(viewer.FindEntry("human_walk", ItemKind::CHR0));
	viewer.editState().model.anim.speed = 0;
	if (viewer.state().model.anim.playing != 1) {
		bench.SkipWithError("human_walk did not start playing");
		return;
	}
	render::Renderer renderer;
	renderer.InitGL();
	renderer.Resize(1024, 768, viewer.state().MV.radius * 50.0f, kModelView);
	for (auto _ : bench) {
		renderer.Draw(viewer.state());
		glFinish();
		viewer.FrameDrawn();
	}
	bench.counters["fps"] = benchmark::Counter(double(bench.iterations()), benchmark::Counter::kIsRate);
	renderer.ReleaseGL();
}
BENCHMARK(BM_PlayHumanWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
