// A Rotate Bone slider move re-poses the model: the offscreen picture of
// the view changes with it.
#include "base/file_io.h"
#include "render/offscreen.h"
#include "render/renderer.h"
#include "support/demo_archive.h"
#include "support/scene.h"
#include "view/viewer.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zentarra {
namespace {

TEST(PoseRender, BoneSliderRePosesThePicture)
{
	std::string error;
	auto context = render::OffscreenContext::Create(128, 128, error);
	ASSERT_TRUE(context) << error;
	const std::filesystem::path path = std::filesystem::temp_directory_path() / "zentarra-pose-render.brres";
	ASSERT_TRUE(WriteFileAtomically(path, testing::DemoArchive()));
	testing::ScriptedDialogs front;
	Viewer viewer(front);
	viewer.OpenFiles({path.string()});
	viewer.LoadModel(viewer.FindEntry("crate", ItemKind::MDL0));
	std::filesystem::remove(path);
	viewer.Command(kCmdMore);
	viewer.ActivateModelNode(BoneNode(2)); // crate_lid
	ASSERT_TRUE(viewer.boneDialog().open);

	render::Renderer renderer;
	renderer.InitGL();
	const auto draw = [&] {
		renderer.Resize(128, 128, viewer.state().MV.radius * 50.0f, kModelView);
		renderer.Draw(viewer.state());
		return context->ReadPixels();
	};
	const std::vector<std::uint8_t> before = draw();
	EXPECT_TRUE(viewer.BoneSlidersMoved({90, 0, 0}) & kRedraw);
	const LoadedModel& model = viewer.state().model;
	EXPECT_EQ(model.nodelist[std::size_t(model.bonemap[2])].curRot[0], 90.0f);
	EXPECT_NE(draw(), before);
	renderer.ReleaseGL();
}

} // namespace
} // namespace zentarra
