// The viewer's batch export with its dialog's choices, checked file for file
// against what zentarra-cli writes, and cancelling.
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
