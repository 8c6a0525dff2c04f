// The batch export: folders, the overwrite rule, the order of work, the same
// files whatever the number of threads, and the whole corpus in every format,
// each file as the single exports write it and importing in Assimp.
//
// Assimp post-processes what it reads: a triangle whose corners share a
// position becomes a line or a point, and a mesh whose points all lie at one
// position loses them. Real display lists hold such degenerate triangles, so
// the expected counts follow those rules: from the OBJ text for the OBJ (read
// as single floats, as Assimp reads it), from the posed corners for the glb.
#include "archive/open_files.h"
#include "base/file_io.h"
#include "export/cli_run.h"
#include "export/export_all.h"
#include "export/gltf_sources.h"
#include "export/png_read.h"
#include "export/tga.h"
#include "model/mdl0_reader.h"
#include "texture/texture_items.h"
#include "support/demo_archive.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

namespace zentarra {
namespace {

namespace fs = std::filesystem;
using testing::CommandResult;
using testing::Quote;
using testing::RunCommand;
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

	// the colour-indexed band went through its palette: the TGA is the decoded image
	ArchiveFiles files;
	TexImage band;
	const ItemRecord& texture = *batch.items.FindItem("crate_band", ItemKind::TEX0, 0);
	ASSERT_TRUE(DecodeTextureItem(texture, files, band).ok);
	LoadPaletteItem(*batch.items.FindItem("crate_band", ItemKind::PLT0, 0), files, band);
	ASSERT_TRUE(DecodeTextureItem(texture, files, band).ok);
	testing::Bytes tga;
	ASSERT_TRUE(WriteTGA(tga, band.width, band.height, band.data));
	EXPECT_EQ(testing::ReadText(batch.dir.path / "exported/demo.brres/textures/crate_band.tga"),
		std::string(tga.begin(), tga.end()));

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

using Point = std::array<float, 3>;
using Mesh = std::vector<std::array<Point, 3>>;

struct Faces {
	std::map<std::string, long long> byType; // "triangle", "line", "point" as Assimp keeps them
	long long total = 0, dropped = 0;
	std::multiset<std::string> meshes; // one per primitive type a mesh keeps
};

Faces Classify(const std::vector<Mesh>& meshes, const std::vector<std::string>& names)
{
	Faces out;
	for (std::size_t j = 0; j < meshes.size(); ++j) {
		long long types[3] = {0, 0, 0}; // triangles, lines, points
		std::set<Point> points;
		for (const auto& p : meshes[j]) {
			const int distinct = 1 + (p[1] != p[0]) + (p[2] != p[0] && p[2] != p[1]);
			++types[3 - distinct];
			if (distinct == 1)
				points.insert(p[0]);
		}
		const bool dropPoints = points.size() == 1;
		out.total += types[0] + types[1] + types[2];
		out.byType["triangle"] += types[0];
		out.byType["line"] += types[1];
		(dropPoints ? out.dropped : out.byType["point"]) += types[2];
		for (int type = 0; type < 3; ++type)
			if (types[type] > 0 && !(type == 2 && dropPoints))
				out.meshes.insert(names.at(j));
	}
	return out;
}

// The OBJ's faces by group, each corner at its "v" line's position.
std::vector<Mesh> ObjMeshes(const std::string& obj)
{
	std::vector<Point> positions;
	std::vector<Mesh> meshes(1);
	std::istringstream lines(obj);
	for (std::string line; std::getline(lines, line);) {
		if (line.rfind("v ", 0) == 0) {
			Point& p = positions.emplace_back();
			char* at = line.data() + 2;
			for (float& value : p)
				value = std::strtof(at, &at);
		} else if (line.rfind("g ", 0) == 0) {
			meshes.emplace_back();
		} else if (line.rfind("f ", 0) == 0) {
			long long n[3] = {0, 0, 0};
			EXPECT_EQ(std::sscanf(line.c_str(), "f %lld/%*d/%*d %lld/%*d/%*d %lld/%*d/%*d", &n[0], &n[1], &n[2]), 3) << line;
			auto& face = meshes.back().emplace_back();
			for (int c = 0; c < 3; ++c) {
				if (n[c] < 1 || n[c] > static_cast<long long>(positions.size())) {
					ADD_FAILURE() << "face names a vertex not written before it: " << line;
					return {};
				}
				face[std::size_t(c)] = positions[std::size_t(n[c] - 1)];
			}
		}
	}
	return meshes;
}

// What `assimp info` reports: faces by type and in all, mesh names (once per
// mesh it made), node names and the animation count.
struct Scene {
	long long faces = -1, animations = -1;
	std::map<std::string, long long> byType;
	std::multiset<std::string> meshes;
	std::set<std::string> nodes;
};

Scene AssimpInfo(const std::string& file)
{
	const CommandResult run = RunCommand("assimp info " + Quote(file));
	EXPECT_EQ(run.status, 0) << run.out << run.err;
	Scene scene;
	std::istringstream lines(run.out);
	bool hierarchy = false;
	for (std::string line; std::getline(lines, line);) {
		long long vertices = 0, bones = 0, faces = 0;
		char type[32] = {};
		int start = 0;
		const std::size_t close = line.rfind("): [");
		if (line.rfind("Faces:", 0) == 0)
			scene.faces = std::atoll(line.c_str() + 6);
		else if (line.rfind("Animations:", 0) == 0)
			scene.animations = std::atoll(line.c_str() + 11);
		else if (line == "Node hierarchy:")
			hierarchy = true;
		else if (hierarchy && !line.empty()) {
			const std::size_t branch = line.rfind("\u2574"); // the tree's last drawing character
			scene.nodes.insert(branch == std::string::npos ? line : line.substr(branch + 3));
		} else if (close != std::string::npos && std::sscanf(line.c_str(), " %*d (%n", &start) == 0 && start > 0 &&
			std::sscanf(line.c_str() + close, "): [%lld / %lld / %lld | %31[a-z]]", &vertices, &bones, &faces, type) == 4) {
			// "    6 (polygon12): [2 / 0 / 1 | line]"
			scene.byType[type] += faces;
			scene.meshes.insert(line.substr(std::size_t(start), close - std::size_t(start)));
		}
	}
	return scene;
}

// Every archive of the corpus in every model format: one file per entry (one
// folder per archive, as entry names repeat across archives); the OBJ run
// once on one thread and once on four, which must give the same files and report.
TEST(ExportAll, WholeCorpusInEveryFormatOnAnyNumberOfThreadsImportsInAssimp)
{
	ASSERT_EQ(RunCommand("assimp version").status, 0) << "the assimp command is missing: install assimp-utils";
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
	const std::pair<int, unsigned> runs[] = {{3, 1}, {3, 4}, {4, 2}, {1, 2}, {2, 2}}; // models, jobs
	for (const auto& [models, jobs] : runs) {
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
			fs::remove_all(dir.path / "exported");
			continue;
		}
		std::map<std::string, std::size_t> written;
		for (const ExportedFile& file : report.files) {
			if (file.outcome != ExportedFile::Outcome::Written)
				continue;
			const fs::path path = file.path;
			++written[path.extension().string()];
			const nlohmann::json& sub = inventory.at(
				path.parent_path().filename().string() + "/" + std::string(KindName(file.kind)) + "/" + file.entry);
			SCOPED_TRACE(file.path);
			const std::string text = testing::ReadText(path);
			if (path.extension() == ".obj") {
				const std::vector<Mesh> meshes = ObjMeshes(text);
				const Faces obj = Classify(meshes, std::vector<std::string>(meshes.size()));
				EXPECT_EQ(obj.total, sub["triangles"].get<long long>());
				Scene scene = AssimpInfo(path);
				EXPECT_EQ(scene.faces, obj.total - obj.dropped);
				for (const char* type : {"triangle", "line", "point"})
					EXPECT_EQ(scene.byType[type], obj.byType.at(type)) << type;
			} else if (path.extension() == ".glb") {
				const FileBytes archive = ReadWholeFile(file.archive);
				ByteView view(archive.bytes);
				auto model = std::make_unique<LoadedModel>();
				ASSERT_TRUE(ReadModel(view, sub["offset"].get<std::size_t>(), *model).ok);
				std::vector<Mesh> posed;
				for (const std::vector<Triangle>& mesh : model->MD.meshTris)
					for (Mesh& faces = posed.emplace_back(); const Triangle& t : mesh)
						faces.push_back(
							{std::to_array(t.v[0].posedPos), std::to_array(t.v[1].posedPos), std::to_array(t.v[2].posedPos)});
				const Faces glb = Classify(posed, model->names.meshes);
				EXPECT_EQ(glb.total, sub["triangles"].get<long long>());
				Scene scene = AssimpInfo(path);
				EXPECT_EQ(scene.faces, glb.total - glb.dropped);
				EXPECT_EQ(scene.byType["triangle"], glb.byType.at("triangle"));
				EXPECT_EQ(scene.meshes, glb.meshes);
				for (const std::string& bone : model->names.bones)
					EXPECT_TRUE(scene.nodes.count(bone)) << "bone " << bone;
				std::vector<std::string> warnings;
				const std::size_t animations = FindModelAnimations(*model, items, file.archive, files, warnings).size();
				EXPECT_EQ(scene.animations, static_cast<long long>(animations));
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
		const char* extensions[] = {"", ".md5mesh", ".psk", ".obj", ".glb"};
		EXPECT_EQ(written[extensions[models]], expected("MDL0"));
		fs::remove_all(dir.path / "exported");
	}
}

} // namespace
} // namespace zentarra
