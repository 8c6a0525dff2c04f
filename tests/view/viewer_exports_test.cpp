// The viewer's exports through the scripted save dialog, checked byte for
// byte against what zentarra-cli writes, and the batch export with its
// dialog's choices and cancelling.
#include "support/demo_archive.h"
#include "support/viewer_fixture.h"
#include "view/export_all_dialog.h"

namespace zentarra {
namespace {

namespace fs = std::filesystem;
using testing::Quote;
using testing::FilesBelow;
using testing::ReadText;
using testing::RunCli;

const std::string kWalk = testing::kCorpusDir + "/brres/human_walk.brres";
const std::string kWalkChr0 = testing::kCorpusDir + "/brres/human_walk_chr0.brres";

using ViewerExportTest = testing::ViewerFixture;

TEST_F(ViewerExportTest, ObjWithMtlAndTheModelsTextures)
{
	const std::string demo = Write("demo.brres", testing::DemoArchive());
	viewer.OpenFiles({demo});
	viewer.LoadModel(viewer.FindEntry("crate", ItemKind::MDL0));
	fs::create_directories(Path("out"));

	viewer.Command(kCmdExportOBJ); // cancelled: nothing written
	viewer.Command(kCmdAutoExportTextures);
	viewer.editState().disp.view = kTextureView;
	front.saveAnswers = {Path("out/crate.obj")};
	front.titles.clear();
	viewer.Command(kCmdExportOBJ);
	EXPECT_EQ(viewer.state().disp.view, int(kModelView));
	EXPECT_EQ(front.titles, (std::vector<int>{2, 0}));
	// the same files as the command line writes
	fs::create_directories(Path("cli"));
	const testing::CommandResult cli =
		RunCli("export-model " + Quote(demo) + " crate -f obj --textures -o " + Quote(Path("cli/crate.obj")));
	ASSERT_EQ(cli.status, 0) << cli.err;
	EXPECT_EQ(FilesBelow(Path("out")).size(), 6u); // obj, mtl, four textures
	EXPECT_TRUE(FilesBelow(Path("out")) == FilesBelow(Path("cli")));

	// a hidden mesh stays out with "Don't Export Hidden Meshes"
	viewer.ModelContextMenu(MeshNode(3));
	viewer.Command(kCmdHideMesh);
	viewer.Command(kCmdSkipHiddenMeshes);
	front.saveAnswers = {Path("out/hidden.obj")};
	viewer.Command(kCmdExportOBJ);
	EXPECT_EQ(ReadText(Path("out/hidden.obj")).find("\ng crate_shadow\n"), std::string::npos);
}

TEST_F(ViewerExportTest, PosedModelsAndAnimationsEqualTheCommandLines)
{
	viewer.OpenFiles({kWalk, kWalkChr0});
	viewer.LoadModel(viewer.FindEntry("human_walk", ItemKind::MDL0));
	viewer.FilesContextMenu(viewer.FindEntry("human_walk", ItemKind::CHR0));
	viewer.Command(kCmdLoadAnim);
	// the glb holds the model as shown, with the animation loaded
	front.saveAnswers = {Path("walk.glb")};
	viewer.Command(kCmdExportGLTF);
	EXPECT_NE(ReadText(Path("walk.glb")).find("\"animations\":[{\"channels\""), std::string::npos);
	for (int i = 0; i < 17; ++i)
		viewer.Command(kCmdNextFrame);
	ASSERT_EQ(viewer.state().model.anim.frame, 17.0f);

	const std::string walk = Quote(kWalk), chr0 = Quote(kWalkChr0);
	const struct {
		int command;
		const char* file;
		std::string cli;
	} cases[] = {
		{kCmdExportPSK, "walk.psk", "export-model " + walk + " human_walk -f psk --anim " + chr0 + ":human_walk"},
		{kCmdExportMD5, "walk.md5mesh", "export-model " + walk + " human_walk -f md5 --anim " + chr0 + ":human_walk"},
		{kCmdExportAnimPSA, "walk.psa", "export-anim " + chr0 + " human_walk -f psa --model " + walk + ":human_walk"},
		{kCmdExportAnimMD5, "walk.md5anim", "export-anim " + chr0 + " human_walk -f md5 --model " + walk + ":human_walk"},
	};
	for (const auto& c : cases) {
		front.saveAnswers = {Path(c.file)};
		viewer.Command(c.command);
		EXPECT_TRUE(front.messages.empty()) << c.file << ": " << front.LastText();
		const std::string frame = c.cli.starts_with("export-model") ? " --frame 17" : "";
		ASSERT_EQ(RunCli(c.cli + frame + " -o " + Quote(Path(std::string("cli-") + c.file))).status, 0) << c.cli;
		const std::string ours = ReadText(Path(c.file));
		EXPECT_TRUE(!ours.empty() && ours == ReadText(Path(std::string("cli-") + c.file))) << c.file;
	}
	// an animation export leaves playback stopped, in the bind pose
	EXPECT_EQ(viewer.AnimInfo().frame, "(stopped)");
}

TEST_F(ViewerExportTest, ExportAllDialogAndBatch)
{
	// the archive in a folder of its own for the viewer and for the command line
	for (const char* side : {"viewer", "cli"}) {
		fs::create_directories(Path(side));
		fs::copy_file(testing::kCorpusDir + "/brres/kuribo.brres", Path(std::string(side) + "/kuribo.brres"));
	}
	viewer.OpenFiles({Path("viewer/kuribo.brres")});
	viewer.LoadModel(viewer.FindEntry("kuribo", ItemKind::MDL0));
	ASSERT_GT(viewer.state().model.MD.nMesh, 0);
	EXPECT_EQ(viewer.Command(kCmdExportAll), kExportAllDialog);

	const ExportAllOptions options = ExportAllOptionsFor({2, 3, 1}, {false, true, true});
	EXPECT_TRUE(viewer.BeginExportAll(options) & kRedraw);
	EXPECT_EQ(viewer.state().model.MD.nMesh, 0); // models are exported: the shown one goes
	ExportAllRun run(viewer.items(), options);
	const ExportAllReport& report = run.Wait();
	viewer.EndExportAll();
	EXPECT_GT(report.written, 5);
	RunCli("export-all --textures tga --models obj --anims psa --separate --per-archive " +
		Quote(Path("cli/kuribo.brres")));
	EXPECT_TRUE(FilesBelow(Path("viewer/exported")) == FilesBelow(Path("cli/exported")));
	EXPECT_EQ(ExportAllSummary(report).rfind("Export finished.\n" + std::to_string(report.written) + " files written, ",
		0), 0u);

	// cancelled while the first entry is written: nothing follows
	fs::remove_all(Path("viewer/exported"));
	std::atomic<bool> cancel{false};
	ExportAllOptions cancelling = options;
	cancelling.cancel = &cancel;
	const ExportAllReport part = ExportAll(viewer.items(), cancelling, [&](const ExportedFile&) { cancel = true; });
	EXPECT_EQ(std::pair(part.cancelled, part.written), std::pair(true, 1));
	EXPECT_EQ(ExportAllSummary(part).rfind("Export cancelled.", 0), 0u);
}

} // namespace
} // namespace zentarra
