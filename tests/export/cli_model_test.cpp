// zentarra-cli info and export-model, run as a user runs them.
#include "export/cli_run.h"
#include "support/brres_writer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace zentarra::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string CorpusFile(const std::string& name)
{
	return Quote(kCorpus + "/brres/" + name);
}

std::size_t CountLines(const std::string& text, const std::string& prefix)
{
	std::size_t count = text.compare(0, prefix.size(), prefix) == 0;
	for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
		count += text.compare(at + 1, prefix.size(), prefix) == 0;
	return count;
}

std::size_t FilesIn(const fs::path& dir)
{
	return std::size_t(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(CliInfo, JsonMatchesTheInventory)
{
	std::size_t modelsCompared = 0, texturesCompared = 0, animationsCompared = 0;
	for (const json& archive : Inventory()) {
		const std::string file = kCorpus + "/" + archive["file"].get<std::string>();
		SCOPED_TRACE(file);
		std::vector<json> expected;
		std::copy_if(archive["subfiles"].begin(), archive["subfiles"].end(), std::back_inserter(expected),
			[](const json& sub) { return sub["kind"] == "MDL0"; });
		const CommandResult run = RunCli("info --json " + Quote(file));
		const json info = json::parse(run.out);
		EXPECT_EQ(info["path"], file);

		std::vector<json> textures;
		for (const json& sub : archive["subfiles"])
			if (sub["kind"] == "TEX0")
				textures.push_back({{"name", sub["name"]}, {"format", sub["format_name"]}, {"formatCode", sub["format"]},
					{"width", sub["width"]}, {"height", sub["height"]}});
		ASSERT_EQ(info["textureEntries"].size(), textures.size());
		std::vector<json> animations;
		for (const json& sub : archive["subfiles"])
			if (sub["kind"] == "CHR0" || sub["kind"] == "SHP0")
				animations.push_back({{"name", sub["name"]}, {"kind", sub["kind"]}, {"frames", sub["frames"]},
					{"entries", sub["entries"]}});
		EXPECT_EQ(info["animations"], json(animations));
		animationsCompared += animations.size();
		for (std::size_t i = 0; i < textures.size(); ++i)
			for (const auto& [key, value] : textures[i].items())
				EXPECT_EQ(info["textureEntries"][i][key], value) << key;
		texturesCompared += textures.size();

		// a model without vertices fails the whole file
		if (std::any_of(expected.begin(), expected.end(), [](const json& sub) { return sub["vertices"] == 0; })) {
			EXPECT_EQ(run.status, 1);
			EXPECT_EQ(info["error"], "Error: this model doesn't have vertices");
			EXPECT_TRUE(info["models"].empty());
			continue;
		}
		EXPECT_EQ(run.status, 0) << run.err;
		EXPECT_FALSE(info.contains("error"));
		ASSERT_EQ(info["models"].size(), expected.size());
		modelsCompared += expected.size();
		for (std::size_t i = 0; i < expected.size(); ++i) {
			const json &want = expected[i], &got = info["models"][i];
			SCOPED_TRACE(want["name"].get<std::string>());
			for (const auto& [ours, theirs] : {std::pair("name", "name"), {"version", "version"}, {"meshes", "objects"},
					 {"triangles", "triangles"}, {"bones", "bones"}, {"materials", "materials"},
					 {"weightedNodes", "envelopes"}})
				EXPECT_EQ(got[ours], want[theirs]) << ours;
			EXPECT_GE(got["nodes"].get<int>(), got["bones"].get<int>() + got["weightedNodes"].get<int>());
			EXPECT_EQ(got["meshNames"].size(), want["objects"].get<std::size_t>());
			EXPECT_EQ(got["textures"].size(), want["materials"].get<std::size_t>());
			ASSERT_EQ(got["palettes"].size(), want["materials"].get<std::size_t>());
			if (want["palettes"] == 0) {
				EXPECT_EQ(got["palettes"], json(std::vector<std::string>(got["palettes"].size())));
			}
			EXPECT_FALSE(got.contains("damaged"));
		}

	}
	EXPECT_GE(modelsCompared, 21u);
	EXPECT_EQ(texturesCompared, 136u);
	EXPECT_EQ(animationsCompared, 17u);
}

TEST(CliInfo, NamedModelsTextAndFailures)
{
	const std::string kuribo = CorpusFile("kuribo.brres");
	CommandResult run = RunCli("info --json " + kuribo + " kuribo '3DModels(NW4R)/kuribo-shadow'");
	EXPECT_EQ(run.status, 0);
	const json models = json::parse(run.out)["models"];
	ASSERT_EQ(models.size(), 2u); // in the order asked for
	EXPECT_EQ(models[1]["name"], "kuribo-shadow");
	EXPECT_EQ(models[0]["name"], "kuribo");
	EXPECT_EQ(models[0]["meshNames"], json::array({"polygon0"}));
	EXPECT_EQ(models[0]["textures"], json::array({"kuribo"}));
	EXPECT_EQ(models[0]["palettes"], json::array({""}));
	EXPECT_EQ(models[0]["nodes"], 14);

	run = RunCli("info " + kuribo);
	EXPECT_EQ(run.status, 0);
	EXPECT_EQ(run.err, "");
	EXPECT_NE(run.out.find("3DModels(NW4R)/kuribo  MDL0 version 11\n"
						   "  meshes 1, triangles 260, bones 9, nodes 14 (5 weighted), materials 1\n"
						   "  mesh 0 \"polygon0\": 260 triangles, material 1\n"
						   "  material 1: texture \"kuribo\", palette \"\"\n"),
		std::string::npos)
		<< run.out;
	run = RunCli("info --json " + CorpusFile("srt.brres")); // no models is no failure
	EXPECT_EQ(run.status, 0);
	EXPECT_EQ(json::parse(run.out)["models"], json::array());

	for (const auto& [arguments, message] : {std::pair<std::string, std::string>("/no/such/file", "Error: can't open file"),
			 {Quote(kCorpus), "Error: can't open file"}, {Quote(kCorpus + "/INVENTORY.md"), "Error: not a valid BRRES file"},
			 {kuribo + " kuribo nosuch", "Error: no model named \"nosuch\""},
			 {CorpusFile("srt.brres") + " kuribo", "Error: no model named \"kuribo\""}}) {
		run = RunCli("info --json " + arguments);
		EXPECT_EQ(run.status, 1) << arguments;
		const json info = json::parse(run.out);
		EXPECT_EQ(info["error"].get<std::string>().substr(0, message.size()), message) << arguments;
		EXPECT_EQ(info["models"], json::array());
	}
	run = RunCli("info " + CorpusFile("mat_lib.brres")); // text: the message on stderr
	EXPECT_EQ(run.status, 1);
	EXPECT_NE(run.err.find("Error: this model doesn't have vertices"), std::string::npos);
	EXPECT_EQ(RunCli("info").status, 2);
	EXPECT_EQ(RunCli("info --bogus " + kuribo).status, 2);
}

TEST(CliModelNames, RepeatedNamesNeedTheFolder)
{
	TempDir dir;
	ASSERT_FALSE(dir.path.empty());
	const fs::path path = dir.path / "twice.brres"; // two folders each holding a model "m" without vertices
	const Bytes bytes =
		BuildBRRES({{"A", {{"m", StubSubFile("MDL0", 128)}}}, {"B", {{"m", StubSubFile("MDL0", 128)}}}});
	std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
	const std::string archive = Quote(path.string()), obj = Quote((dir.path / "m.obj").string());

	CommandResult run = RunCli("info --json " + archive + " m");
	EXPECT_EQ(run.status, 1);
	const std::string error = json::parse(run.out)["error"];
	EXPECT_NE(error.find("more than one model is named \"m\""), std::string::npos) << error;
	EXPECT_NE(error.find("A/m, B/m"), std::string::npos) << error;
	run = RunCli("export-model " + archive + " m -o " + obj);
	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(run.err, error + "\n");
	run = RunCli("export-model " + archive + " B/m -o " + obj); // the folder settles it
	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(run.err, "Error: this model doesn't have vertices\n");
	EXPECT_EQ(FilesIn(dir.path), 1u);
}

std::string MaterialText(int number, const std::string& texture)
{
	return "newmtl mat" + std::to_string(number) + "\n\tNs 10\n\tNi 1.0\n\td 1.0\n\tTf 1 1 1\n\tillum 2\n\t" +
		"Ka 0.5 0.5 0.5\n\tKd 0.9 0.9 0.9\n\tKs 0.0 0.0 0.0\n\tmap_Kd " + texture + ".tga\n\n";
}

TEST(CliExportModel, WritesObjAndMtl)
{
	TempDir dir;
	ASSERT_FALSE(dir.path.empty());
	CommandResult run = RunCli("export-model " + CorpusFile("kuribo.brres") + " kuribo -f obj -o " +
		Quote((dir.path / "k.obj").string()));
	EXPECT_EQ(run.status, 0) << run.err;
	EXPECT_EQ(run.err + run.out, "");
	std::string text = ReadText(dir.path / "k.obj");
	EXPECT_EQ(text.substr(0, 19), "mtllib kuribo.mtl\n\n"); // named after the model, written beside the OBJ
	EXPECT_EQ(ReadText(dir.path / "k.mtl"), MaterialText(1, "kuribo"));
	EXPECT_EQ(FilesIn(dir.path), 2u);
	EXPECT_EQ(CountLines(text, "f "), 260u);
	EXPECT_NE(text.find("\n\ng polygon0\ns 1\nusemtl mat1\nf 1/1/1 "), std::string::npos);
	const std::size_t vertices = CountLines(text, "v ");
	EXPECT_EQ(CountLines(text, "vt "), vertices);
	EXPECT_EQ(CountLines(text, "vn "), vertices);
	EXPECT_LT(vertices, 3 * 260u); // corners are shared
	EXPECT_EQ(text.substr(text.size() - 2), "\n\n");

	run = RunCli("export-model " + CorpusFile("moray.brres") + " '3DModels(NW4R)/moray' -o " +
		Quote((dir.path / "moray.obj").string()));
	ASSERT_EQ(run.status, 0) << run.err;
	text = ReadText(dir.path / "moray.obj");
	EXPECT_EQ(CountLines(text, "g "), 3u);
	EXPECT_EQ(CountLines(text, "f "), 135u);
	EXPECT_EQ(ReadText(dir.path / "moray.mtl"),
		MaterialText(1, "hojiro_eye") + MaterialText(2, "hojiro_body") + MaterialText(3, "hojiro_kiba"));
}

TEST(CliExportModel, Failures)
{
	TempDir dir;
	ASSERT_FALSE(dir.path.empty());
	const std::string kuribo = CorpusFile("kuribo.brres"), obj = Quote((dir.path / "k.obj").string());
	const auto expectFailure = [](const std::string& arguments, const std::string& message) {
		const CommandResult run = RunCli("export-model " + arguments);
		EXPECT_EQ(run.status, 1) << arguments;
		EXPECT_EQ(run.err.substr(0, message.size()), message) << arguments;
		EXPECT_TRUE(!run.err.empty() && run.err.back() == '\n') << arguments;
	};
	expectFailure("/no/such/file kuribo -o " + obj, "Error: can't open file\n");
	expectFailure(Quote(kCorpus + "/INVENTORY.md") + " kuribo -o " + obj, "Error: not a valid BRRES file\n");
	expectFailure(kuribo + " nosuch -o " + obj, "Error: no model named \"nosuch\"");
	expectFailure(CorpusFile("mat_lib.brres") + " mat_lib -o " + obj, "Error: this model doesn't have vertices\n");
	expectFailure(kuribo + " kuribo -o " + Quote((dir.path / "missing" / "k.obj").string()),
		"Error: unable to write file\n");
	EXPECT_EQ(FilesIn(dir.path), 0u);

	fs::create_directory(dir.path / "k.mtl"); // the OBJ is written, the MTL cannot be
	expectFailure(kuribo + " kuribo -o " + obj, "Error: unable to write MTL file\n");
	EXPECT_EQ(ReadText(dir.path / "k.obj").substr(0, 18), "mtllib kuribo.mtl\n");
	EXPECT_EQ(FilesIn(dir.path), 2u); // no temporary file left behind

	for (const std::string& usage : {" kuribo -f fbx -o " + obj, std::string(" kuribo"), " -o " + obj,
			 " kuribo -o " + Quote((dir.path / "k.txt").string())})
		EXPECT_EQ(RunCli("export-model " + kuribo + usage).status, 2) << usage;
}

TEST(CliExportModel, GltfFlavoursAndTheirFailures)
{
	TempDir dir;
	ASSERT_FALSE(dir.path.empty());
	const std::string kuribo = CorpusFile("kuribo.brres");
	CommandResult run = RunCli("export-model " + kuribo + " kuribo -f gltf -o " + Quote((dir.path / "k.gltf").string())
		+ " --anim walk_l --anim walk_r");
	ASSERT_EQ(run.status, 0) << run.err;
	EXPECT_EQ(run.err + run.out, "");
	const json gltf = json::parse(ReadText(dir.path / "k.gltf"));
	EXPECT_EQ(gltf["buffers"][0]["uri"], "k.bin"); // beside it, named after the file
	EXPECT_EQ(fs::file_size(dir.path / "k.bin"), gltf["buffers"][0]["byteLength"].get<std::size_t>());
	EXPECT_EQ(gltf["images"][0]["uri"], "kuribo.png");
	EXPECT_EQ(gltf["animations"].size(), 2u);
	EXPECT_EQ(FilesIn(dir.path), 3u);

	run = RunCli("export-model " + kuribo + " kuribo -f glb -o " + Quote((dir.path / "k.glb").string()));
	ASSERT_EQ(run.status, 0) << run.err;
	EXPECT_EQ(ReadText(dir.path / "k.glb").substr(0, 4), "glTF"); // one file, images inside
	EXPECT_EQ(FilesIn(dir.path), 4u);

	const std::string glb = " kuribo -f glb -o " + Quote((dir.path / "f.glb").string());
	for (const auto& [arguments, message] : {
			 std::pair{glb + " --anim walk_l --frame 999", "Error: frame 999 is outside the animation's frames 0 to 58"},
			 {glb + " --anim nosuch", "Error: no bone animation named \"nosuch\""},
			 {glb + " --vanim walk_l", "Error: no vertex animation named \"walk_l\""},
			 {" kuribo -o " + Quote((dir.path / "f.obj").string()) + " --vanim x", "Error: vertex animations can only"},
			 {" kuribo -o " + Quote((dir.path / "f.obj").string()) + " --anim walk_l --anim walk_r",
				 "Error: only one bone animation"}}) {
		run = RunCli("export-model " + kuribo + arguments);
		EXPECT_EQ(run.status, 1) << arguments;
		EXPECT_EQ(run.err.substr(0, std::string(message).size()), message) << arguments;
	}
	EXPECT_EQ(FilesIn(dir.path), 4u);
}

} // namespace
} // namespace zentarra::testing
