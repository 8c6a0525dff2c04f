// The batch export: folders, the overwrite rule, the order of work, the same
// files whatever the number of threads, and the whole corpus in every format.
#include "archive/open_files.h"
#include "export/cli_run.h"
#include "export/export_all.h"
#include "export/png_read.h"
#include "texture/texture_items.h"
#include "support/demo_archive.h"

#include <gtest/gtest.h>

#include <map>

namespace zentarra {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

TEST(ExportFolder, EveryCombinationOfTheSwitches)
{
	// by (separate, perArchive): (0, 0), (1, 0), (0, 1), (1, 1); models get no type folder
	const std::pair<ItemKind, std::array<std::string, 4>> cases[] = {
		{ItemKind::MDL0, {"/x/exported/", "/x/exported/", "/x/exported/y.brres/", "/x/exported/y.brres/"}},
		{ItemKind::TEX0, {"/x/exported/", "/x/exported/textures/", "/x/exported/y.brres/", "/x/exported/y.brres/textures/"}},
		{ItemKind::CHR0,
			{"/x/exported/", "/x/exported/animations/", "/x/exported/y.brres/", "/x/exported/y.brres/animations/"}}};
	for (const auto& [kind, folders] : cases)
		for (std::size_t i = 0; i < 4; ++i)
			EXPECT_EQ(ExportFolder("/x/y.brres", kind, i & 1, i & 2), folders[i]) << KindName(kind) << " " << i;
	// a bare file name exports beside it, in the current folder
	EXPECT_EQ(ExportFolder("y.brres", ItemKind::TEX0, true, true), "exported/y.brres/textures/");
}

// The files under a folder with their contents, by path relative to it.
std::map<std::string, std::string> Tree(const fs::path& root)
{
	std::map<std::string, std::string> files;
	for (const auto& entry : fs::recursive_directory_iterator(root))
		files[fs::relative(entry.path(), root).string() + (entry.is_directory() ? "/" : "")] =
			entry.is_directory() ? "" : testing::ReadText(entry.path());
	return files;
}

std::vector<std::string> Lines(const ExportAllReport& report, const fs::path& root)
{
	const char* outcome[] = {"written", "kept", "skipped", "failed"};
	std::vector<std::string> lines;
	for (const ExportedFile& file : report.files)
		lines.push_back(std::string(KindName(file.kind)) + " " + file.entry + " " + outcome[int(file.outcome)] + " " +
			(file.path.empty() ? "" : fs::relative(file.path, root).string()));
	return lines;
}

struct DemoBatch {
	TempDir dir;
	OpenArchives items;
	DemoBatch()
	{
		const testing::Bytes demo = testing::DemoArchive();
		const fs::path path = dir.path / "demo.brres";
		std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(demo.data()), std::streamsize(demo.size()));
		EXPECT_EQ(OpenArchiveFile(path.string(), items, nullptr).status, OpenStatus::Opened);
	}
	std::vector<std::string> Run(const ExportAllOptions& options) { return Lines(ExportAll(items, options), dir.path); }
};

TEST(ExportAll, TexturesThenModelsAndTheOverwriteRule)
{
	DemoBatch batch;
	ExportAllOptions options{.textures = 1, .models = 3, .animations = 0, .separate = true};
	const std::vector<std::string> written = {"TEX0 crate_wood written exported/textures/crate_wood.png",
		"TEX0 crate_band written exported/textures/crate_band.png", "TEX0 crate_label written exported/textures/crate_label.png",
		"TEX0 crate_shadow written exported/textures/crate_shadow.png", "MDL0 crate written exported/crate.obj"};
	EXPECT_EQ(batch.Run(options), written);
	// no MTL in a batch; the library line names the entry
	EXPECT_FALSE(fs::exists(batch.dir.path / "exported/crate.mtl"));
	EXPECT_NE(testing::ReadText(batch.dir.path / "exported/crate.obj").find("mtllib crate.mtl\n"), std::string::npos);

	// a second run without overwriting writes nothing
	fs::resize_file(batch.dir.path / "exported/crate.obj", 3);
	const auto before = Tree(batch.dir.path);
	const ExportAllReport again = ExportAll(batch.items, options);
	EXPECT_EQ(std::pair(again.written, again.kept), std::pair(0, 5));
	EXPECT_EQ(Tree(batch.dir.path), before);
	options.overwrite = true;
	EXPECT_EQ(batch.Run(options), written);
	EXPECT_GT(fs::file_size(batch.dir.path / "exported/crate.obj"), 3u);
}

TEST(ExportAll, ModelTexturesOnlyWithTheModels)
{
	DemoBatch batch;
	ExportAllOptions options{.textures = 3, .models = 0, .animations = 0};
	EXPECT_TRUE(batch.Run(options).empty());
	EXPECT_FALSE(fs::exists(batch.dir.path / "exported"));

	options = {.textures = 3, .models = 3, .animations = 0, .separate = true, .perArchive = true};
	EXPECT_EQ(batch.Run(options), (std::vector<std::string>{"MDL0 crate written exported/demo.brres/crate.obj",
									  "TEX0 crate_wood written exported/demo.brres/textures/crate_wood.tga",
									  "TEX0 crate_band written exported/demo.brres/textures/crate_band.tga",
									  "TEX0 crate_label written exported/demo.brres/textures/crate_label.tga",
									  "TEX0 crate_shadow written exported/demo.brres/textures/crate_shadow.tga"}));

	// the viewer's batch unloads the model on display, but only for models
	auto shown = std::make_unique<LoadedModel>();
	shown->MD.nMesh = 1;
	options.overwrite = true;
	options.models = 0;
	ExportAll(batch.items, options, *shown);
	EXPECT_EQ(shown->MD.nMesh, 1);
	options.models = 3;
	ExportAll(batch.items, options, *shown);
	EXPECT_EQ(shown->MD.nMesh, 0);

	// a model kept as it was keeps its textures out of the run
	options.overwrite = false;
	fs::remove(batch.dir.path / "exported/demo.brres/textures/crate_band.tga");
	EXPECT_EQ(batch.Run(options), (std::vector<std::string>{"MDL0 crate kept exported/demo.brres/crate.obj"}));
	EXPECT_FALSE(fs::exists(batch.dir.path / "exported/demo.brres/textures/crate_band.tga"));
}

TEST(CliExportAll, PrintsEachFileAndASummary)
{
	DemoBatch batch;
	const std::string demo = testing::Quote((batch.dir.path / "demo.brres").string());
	const std::string exported = (batch.dir.path / "exported/").string();
	testing::CommandResult run = testing::RunCli("export-all " + demo + " --textures png --models obj --anims none");
	EXPECT_EQ(run.status, 0) << run.err;
	EXPECT_EQ(run.out, exported + "crate_wood.png\n" + exported + "crate_band.png\n" + exported + "crate_label.png\n" +
			exported + "crate_shadow.png\n" + exported + "crate.obj\n5 written, 0 skipped as existing, 0 failed\n");

	run = testing::RunCli("export-all " + demo + " /nonexistent.brres --textures png --models obj --anims none --jobs 2");
	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(run.out, "0 written, 5 skipped as existing, 0 failed\n");
	EXPECT_EQ(run.err, "/nonexistent.brres: Error: can't open file\n");
	EXPECT_EQ(testing::RunCli("export-all " + demo + " --models fbx").status, 2);
}

std::size_t Count(const std::string& text, const std::string& line)
{
	std::size_t count = text.compare(0, line.size(), line) == 0;
	for (std::size_t at = text.find("\n" + line); at != std::string::npos; at = text.find("\n" + line, at + 1))
		++count;
	return count;
}

// Every archive of the corpus in every model format: one file per entry (one
// folder per archive, as entry names repeat across archives), each as the
// single exports write it; the OBJ run once on one thread and once on four,
// which must give the same files and report.
TEST(ExportAll, WholeCorpusInEveryModelFormatOnAnyNumberOfThreads)
{
	TempDir dir;
	OpenArchives items;
	std::map<std::string, nlohmann::json> inventory; // "archive/kind/name" -> sub-file
	for (const nlohmann::json& archive : testing::Inventory()) {
		const fs::path file = fs::path(archive["file"].get<std::string>()).filename();
		fs::copy_file(testing::kCorpus + "/" + archive["file"].get<std::string>(), dir.path / file);
		ASSERT_EQ(OpenArchiveFile((dir.path / file).string(), items, nullptr).status, OpenStatus::Opened);
		for (const nlohmann::json& sub : archive["subfiles"])
			inventory[file.string() + "/" + sub["kind"].get<std::string>() + "/" + sub["name"].get<std::string>()] = sub;
	}
	const auto expected = [&](const char* kind) {
		std::size_t count = 0;
		for (const auto& [name, sub] : inventory)
			count += sub["kind"] == kind && (sub["kind"] != "MDL0" || sub["vertices"] != 0);
		return count;
	};

	ArchiveFiles files;
	std::map<std::string, std::string> firstTree;
	std::vector<std::string> firstLines;
	for (const auto& [models, jobs] : {std::pair(3, 1u), std::pair(3, 4u), std::pair(1, 2u), std::pair(2, 2u)}) {
		SCOPED_TRACE("models " + std::to_string(models) + ", jobs " + std::to_string(jobs));
		const ExportAllOptions options{.textures = models == 3 ? 1 : 0, .models = models, .animations = models == 3 ? 1 : 0,
			.perArchive = true, .jobs = jobs};
		std::size_t progress = 0;
		const ExportAllReport report = ExportAll(items, options, [&](const ExportedFile&) { ++progress; });
		EXPECT_EQ(progress, report.files.size());
		EXPECT_EQ(report.failed, 0);
		EXPECT_EQ(report.skipped, 1); // mat_lib: a material library without vertices
		if (jobs == 4) {
			EXPECT_TRUE(Tree(dir.path / "exported") == firstTree);
			EXPECT_EQ(Lines(report, dir.path), firstLines);
		}
		std::map<std::string, std::size_t> written;
		for (const ExportedFile& file : report.files) {
			if (file.outcome != ExportedFile::Outcome::Written || jobs == 4)
				continue;
			const fs::path path = file.path;
			++written[path.extension().string()];
			const nlohmann::json& sub = inventory.at(
				path.parent_path().filename().string() + "/" + std::string(KindName(file.kind)) + "/" + file.entry);
			SCOPED_TRACE(file.path);
			const std::string text = testing::ReadText(path);
			if (path.extension() == ".obj") {
				EXPECT_EQ(Count(text, "f "), sub["triangles"].get<std::size_t>());
			} else if (path.extension() == ".md5mesh") {
				EXPECT_NE(text.find("numJoints " + std::to_string(sub["bones"].get<int>()) + "\n"), std::string::npos);
				EXPECT_EQ(text.find("nan"), std::string::npos);
			} else if (path.extension() == ".psk" || path.extension() == ".psa") {
				EXPECT_EQ(text.substr(0, 8), path.extension() == ".psk" ? "ACTRHEAD" : "ANIMHEAD");
			} else if (path.extension() == ".png") {
				ItemRecord texture;
				texture.path = file.archive;
				texture.name = file.entry;
				texture.offset = sub["offset"].get<std::size_t>();
				TexImage image;
				const TextureOpenResult decoded = DecodeTextureItem(texture, files, image);
				ASSERT_TRUE(decoded.ok) << decoded.message;
				EXPECT_EQ(decoded.message, "");
				EXPECT_TRUE(testing::DecodePNG(testing::Bytes(text.begin(), text.end())) == image.data);
				EXPECT_EQ(std::tuple(image.width, image.height, image.format),
					std::tuple(sub["width"].get<int>(), sub["height"].get<int>(), sub["format"].get<std::uint32_t>()));
			}
		}
		if (jobs == 1) {
			firstTree = Tree(dir.path / "exported");
			firstLines = Lines(report, dir.path);
			EXPECT_EQ(written[".png"], expected("TEX0"));
			EXPECT_EQ(written[".psa"], expected("CHR0"));
		}
		if (jobs != 4) {
			EXPECT_EQ(written[models == 3 ? ".obj" : models == 1 ? ".md5mesh" : ".psk"], expected("MDL0"));
		}
		fs::remove_all(dir.path / "exported");
	}
}

} // namespace
} // namespace zentarra
