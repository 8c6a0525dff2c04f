// The batch export: folders, the overwrite rule, the order of work, the same
// files whatever the number of threads, and the whole corpus in every format,
// each file as the single exports write it and importing in Assimp.
#include "archive/open_files.h"
#include "base/file_io.h"
#include "export/cli_run.h"
#include "export/export_all.h"
#include "support/demo_archive.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <map>

namespace zentarra {
namespace {

namespace fs = std::filesystem;
using testing::RunCommand;
using testing::TempDir;

// The batches below reach the other combinations of the switches.
TEST(ExportFolder, ModelsGetNoTypeFolderAndABareFileNameExportsInTheCurrentFolder)
{
	EXPECT_EQ(ExportFolder("/x/y.brres", ItemKind::MDL0, true, false), "/x/exported/");
	EXPECT_EQ(ExportFolder("/x/y.brres", ItemKind::CHR0, true, true), "/x/exported/y.brres/animations/");
	EXPECT_EQ(ExportFolder("y.brres", ItemKind::TEX0, true, true), "exported/y.brres/textures/");
}

std::vector<std::string> Lines(const ExportAllReport& report, const fs::path& root)
{
	std::vector<std::string> lines;
	for (const ExportedFile& file : report.files)
		lines.push_back(std::string(KindName(file.kind)) + " " + file.entry + " " +
			std::array{"written", "kept", "skipped", "failed"}[int(file.outcome)] + " " +
			(file.path.empty() ? "" : fs::relative(file.path, root).string()));
	return lines;
}

// The demo archive in a fresh folder, opened.
struct DemoBatch {
	TempDir dir;
	OpenArchives items;
	DemoBatch()
	{
		const fs::path path = dir.path / "demo.brres";
		EXPECT_TRUE(WriteFileAtomically(path, testing::DemoArchive()));
		EXPECT_EQ(OpenArchiveFile(path.string(), items, nullptr).status, OpenStatus::Opened);
	}
	std::vector<std::string> Run(const ExportAllOptions& options) { return Lines(ExportAll(items, options), dir.path); }
};

TEST(CliExportAll, PrintsEachFileAndASummary)
{
	DemoBatch batch;
	const std::string demo = testing::Quote((batch.dir.path / "demo.brres").string()), choice = " --models obj --anims none";
	const std::string exported = (batch.dir.path / "exported/").string();
	testing::CommandResult run = testing::RunCli("export-all " + demo + " --textures png" + choice);
	EXPECT_EQ(run.status, 0) << run.err;
	EXPECT_EQ(run.out, exported + "crate_wood.png\n" + exported + "crate_band.png\n" + exported + "crate_label.png\n" +
			exported + "crate_shadow.png\n" + exported + "crate.obj\n5 written, 0 skipped as existing, 0 failed\n");
	run = testing::RunCli("export-all " + demo + " /nonexistent.brres --textures png --jobs 2" + choice);
	EXPECT_EQ(std::tuple(run.status, run.out, run.err),
		std::tuple(1, "0 written, 5 skipped as existing, 0 failed\n", "/nonexistent.brres: Error: can't open file\n"));
	EXPECT_EQ(testing::RunCli("export-all " + demo + " --models fbx").status, 2);
}

// The face count `assimp info` reports.
long long AssimpFaces(const std::string& file)
{
	const testing::CommandResult run = RunCommand("assimp info " + testing::Quote(file));
	EXPECT_EQ(run.status, 0) << run.out << run.err;
	const std::size_t at = run.out.find("\nFaces:");
	return at == std::string::npos ? -1 : std::atoll(run.out.c_str() + at + 7);
}

// Every archive of the corpus as PNG, OBJ and PSA: one file per entry (one
// folder per archive, as entry names repeat across archives), once on one
// thread and once on four, which must give the same files and report. The glTF
// files of the corpus go through the validator (tests/gltf).
TEST(ExportAll, WholeCorpusOnAnyNumberOfThreadsImportsInAssimp)
{
	ASSERT_EQ(RunCommand("assimp version").status, 0) << "the assimp command is missing: install assimp-utils";
	TempDir dir;
	OpenArchives items;
	std::map<std::string, nlohmann::json> inventory; // "archive/kind/name" -> sub-file
	std::map<std::string, std::size_t> expected;     // files by kind
	for (const nlohmann::json& archive : testing::CorpusInventory()) {
		const fs::path file = fs::path(archive["file"].get<std::string>()).filename();
		fs::copy_file(testing::kCorpusDir + "/" + archive["file"].get<std::string>(), dir.path / file);
		ASSERT_EQ(OpenArchiveFile((dir.path / file).string(), items, nullptr).status, OpenStatus::Opened);
		for (const nlohmann::json& sub : archive["subfiles"]) {
			inventory[file.string() + "/" + sub["kind"].get<std::string>() + "/" + sub["name"].get<std::string>()] = sub;
			expected[sub["kind"]] += sub["kind"] != "MDL0" || sub["vertices"] != 0;
		}
	}
	std::map<std::string, std::string> firstTree;
	std::vector<std::string> firstLines;
	for (const unsigned jobs : {1, 4}) {
		SCOPED_TRACE("jobs " + std::to_string(jobs));
		const ExportAllOptions options{.textures = 2, .models = 3, .animations = 1, .perArchive = true, .jobs = jobs};
		std::size_t progress = 0;
		const ExportAllReport report = ExportAll(items, options, [&](const ExportedFile&) { ++progress; });
		EXPECT_EQ(std::tuple(progress, report.failed, report.skipped), std::tuple(report.files.size(), 0, 1)); // mat_lib
		if (jobs == 4) {
			EXPECT_TRUE(testing::FilesBelow(dir.path / "exported") == firstTree);
			EXPECT_EQ(Lines(report, dir.path), firstLines);
		}
		std::map<std::string, std::size_t> written;
		for (const ExportedFile& file : report.files) {
			const fs::path path = file.path;
			written[path.extension().string()] += file.outcome == ExportedFile::Outcome::Written;
			if (jobs == 4 || file.outcome != ExportedFile::Outcome::Written)
				continue;
			const nlohmann::json& sub = inventory.at(
				path.parent_path().filename().string() + "/" + std::string(KindName(file.kind)) + "/" + file.entry);
			SCOPED_TRACE(file.path);
			const std::string text = testing::ReadText(path);
			if (path.extension() == ".obj") { // Assimp drops degenerate triangles, never keeps more
				const long long triangles = sub["triangles"].get<long long>(), faces = AssimpFaces(path);
				long long faceLines = 0;
				for (std::size_t at = text.find("\nf "); at != std::string::npos; at = text.find("\nf ", at + 1))
					++faceLines;
				EXPECT_EQ(faceLines, triangles);
				EXPECT_TRUE(faces > 0 && faces <= triangles) << faces;
			} else if (path.extension() == ".tga") { // the images themselves are checked on the demo
				const auto le16 = [&text](std::size_t at) { return std::uint8_t(text[at]) | std::uint8_t(text[at + 1]) << 8; };
				EXPECT_EQ(std::pair(le16(12), le16(14)), std::pair(sub["width"].get<int>(), sub["height"].get<int>()));
			}
		}
		if (jobs == 1) {
			firstTree = testing::FilesBelow(dir.path / "exported");
			firstLines = Lines(report, dir.path);
		}
		EXPECT_EQ(std::tuple(written[".tga"], written[".obj"], written[".psa"]),
			std::tuple(expected["TEX0"], expected["MDL0"], expected["CHR0"]));
		fs::remove_all(dir.path / "exported");
	}
}

} // namespace
} // namespace zentarra
