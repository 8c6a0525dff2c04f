// The viewer's exports through the scripted save dialog and its batch export
// with its dialog's choices, checked file for file against what zentarra-cli
// writes, and cancelling.
#include "support/demo_archive.h"
#include "support/viewer_fixture.h"
#include "view/export_all_dialog.h"

namespace zentarra {
namespace {

namespace fs = std::filesystem;
using testing::Quote;
using testing::FilesBelow;
using testing::RunCli;

using ViewerExportTest = testing::ViewerFixture;

TEST_F(ViewerExportTest, EachExportEqualsTheCommandLines)
{
	const std::string demo = Write("demo.brres", testing::DemoArchive()), q = Quote(demo);
	for (const char* side : {"viewer", "cli"})
		fs::create_directories(Path(side));
	viewer.OpenFiles({demo});
	viewer.LoadModel(Entry("crate", ItemKind::MDL0));
	viewer.Command(kCmdExportOBJ); // cancelled: nothing written
	viewer.Command(kCmdAutoExportTextures);
	viewer.editState().disp.view = kTextureView;
	front.saveAnswers = {Path("viewer/crate.obj")};
	front.titles.clear();
	viewer.Command(kCmdExportOBJ);
	EXPECT_EQ(front.titles, (std::vector<int>{2, 0})); // "exporting" in the title while it writes
	EXPECT_EQ(state().disp.view, int(kModelView)); // an export shows the model it writes
	EXPECT_EQ(FilesBelow(Path("viewer")).size(), 6u); // obj, mtl, four textures
	RunCli("export-model " + q + " crate -f obj --textures -o " + Quote(Path("cli/crate.obj")));

	// the glTF file with the animation loaded, then the others posed at its frame 17; the files panel's textures
	OnEntry(Entry("crate_open", ItemKind::CHR0), kCmdLoadAnim);
	front.saveAnswers = {Path("viewer/crate.glb")};
	viewer.Command(kCmdExportGLTF);
	RunCli("export-model " + q + " crate --anim crate_open -f glb -o " + Quote(Path("cli/crate.glb")));
	for (int i = 0; i < 17; ++i)
		viewer.Command(kCmdNextFrame);
	const std::string posed = " crate --anim crate_open --frame 17 -f ", model = " crate_open --model " + q + ":crate -f ";
	const struct {
		int command;
		const char* file;
		std::string cli;
	} cases[] = {
		{kCmdExportPSK, "c.psk", "export-model " + q + posed + "psk"},
		{kCmdExportMD5, "c.md5mesh", "export-model " + q + posed + "md5"},
		{kCmdExportAnimPSA, "c.psa", "export-anim " + q + model + "psa"},
		{kCmdExportAnimMD5, "c.md5anim", "export-anim " + q + model + "md5"},
		{kCmdExportTexturePNG, "label.png", "export-texture " + q + " crate_label"},
		{kCmdExportTextureTGA, "label.tga", "export-texture " + q + " crate_label -f tga"},
	};
	for (const auto& c : cases) {
		front.saveAnswers = {Path(std::string("viewer/") + c.file)};
		if (c.command == kCmdExportTexturePNG || c.command == kCmdExportTextureTGA)
			OnEntry(Entry("crate_label", ItemKind::TEX0), c.command);
		else
			viewer.Command(c.command);
		EXPECT_TRUE(front.messages.empty()) << c.file << ": " << front.LastText();
		ASSERT_EQ(RunCli(c.cli + " -o " + Quote(Path(std::string("cli/") + c.file))).status, 0) << c.cli;
	}
	EXPECT_EQ(viewer.AnimInfo().frame, "(stopped)"); // an animation export leaves the bind pose
	EXPECT_TRUE(FilesBelow(Path("viewer")) == FilesBelow(Path("cli"))); // no temporary left beside them

	// a folder that does not exist: the reason said, nothing written
	front.saveAnswers = {Path("none/x.tga")};
	OnEntry(Entry("crate_label", ItemKind::TEX0), kCmdExportTextureTGA);
	EXPECT_EQ(front.LastText(), "Error: unable to write file");
	EXPECT_EQ(FilesBelow(Path("viewer")).size(), 13u);
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
