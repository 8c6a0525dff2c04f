// zentarra-cli list, info, export-model, export-anim and export-texture, run as a user runs them.
#include "base/file_io.h"
#include "export/cli_run.h"
#include "export/png_read.h"
#include "support/brres_writer.h"
#include "support/tex0_writer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>

namespace zentarra::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string kDemo = Quote(kShippedDemo);

std::string Corpus(const std::string& name)
{
	return Quote(kCorpusDir + "/brres/" + name);
}

std::string In(const TempDir& dir, const std::string& name)
{
	return Quote((dir.path / name).string());
}

std::size_t FilesIn(const fs::path& dir)
{
	return std::size_t(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// Models by name and triangles (the reader's counts are checked against the
// inventory in tests/model), texture entries and animations in full.
TEST(CliInfo, JsonMatchesTheInventory)
{
	std::size_t modelsCompared = 0;
	for (const json& archive : CorpusInventory()) {
		const std::string file = kCorpusDir + "/" + archive["file"].get<std::string>();
		SCOPED_TRACE(file);
		json expected = {{"path", file}, {"models", json::array()}, {"textureEntries", json::array()},
			{"animations", json::array()}};
		bool noVertices = false;
		for (const json& sub : archive["subfiles"]) {
			noVertices = noVertices || (sub["kind"] == "MDL0" && sub["vertices"] == 0);
			if (sub["kind"] == "MDL0")
				expected["models"].push_back({{"name", sub["name"]}, {"triangles", sub["triangles"]}});
			else if (sub["kind"] == "TEX0")
				expected["textureEntries"].push_back({{"name", sub["name"]}, {"folder", sub["folder"]},
					{"format", sub["format_name"]}, {"formatCode", sub["format"]}, {"width", sub["width"]},
					{"height", sub["height"]}});
			else if (sub["kind"] == "CHR0" || sub["kind"] == "SHP0")
				expected["animations"].push_back(
					{{"name", sub["name"]}, {"kind", sub["kind"]}, {"frames", sub["frames"]}, {"entries", sub["entries"]}});
		}
		if (noVertices) { // a model without vertices fails the whole file
			expected["models"] = json::array();
			expected["error"] = "Error: this model doesn't have vertices";
		}
		const CommandResult run = RunCli("info --json " + Quote(file));
		EXPECT_EQ(run.status, noVertices ? 1 : 0) << run.err;
		json info = json::parse(run.out);
		for (json& model : info["models"])
			model = {{"name", model["name"]}, {"triangles", model["triangles"]}};
		EXPECT_EQ(info, expected);
		modelsCompared += expected["models"].size();
	}
	EXPECT_GE(modelsCompared, 21u);
}

// Every refusal: its exit status and the start of its message; none leaves a file.
TEST(CliExport, FailuresSayWhyAndWriteNothing)
{
	TempDir dir, archives;
	const fs::path ci = archives.path / "ci.brres"; // colour-indexed without a palette of its name
	WriteFileAtomically(ci, BuildBRRES({{"Textures(NW4R)", {{"ci", BuildTEX0(8, 8, 8, Bytes(32, 0x12))}}}}));
	// two folders each holding a model "m" without vertices: the folder settles which
	const std::string twice = "export-model " + Quote((archives.path / "twice.brres").string());
	WriteFileAtomically(archives.path / "twice.brres",
		BuildBRRES({{"A", {{"m", StubSubFile("MDL0", 128)}}}, {"B", {{"m", StubSubFile("MDL0", 128)}}}}));
	const std::string kuribo = "export-model " + Corpus("kuribo.brres") + " kuribo", obj = " -o " + In(dir, "k.obj");
	const std::string glb = kuribo + " -f glb -o " + In(dir, "f.glb"), png = " -o " + In(dir, "x.png");
	const std::string walk = "export-model " + Corpus("human_walk.brres") + " human_walk -f psk -o " + In(dir, "x.psk");
	const std::string cow = "export-anim " + Corpus("cow.brres") + " walk";
	const struct {
		std::string arguments;
		int status;
		std::string message; // the start of stderr
	} cases[] = {
		{"export-model /no/such/file kuribo" + obj, 1, "Error: can't open file\n"},
		{"export-model " + Corpus("kuribo.brres") + " nosuch" + obj, 1, "Error: no model named \"nosuch\""},
		{twice + " m" + obj, 1, "Error: more than one model is named \"m\"; name one as folder/name: A/m, B/m\n"},
		{twice + " B/m" + obj, 1, "Error: this model doesn't have vertices\n"},
		{kuribo + " -o " + In(dir, "missing/k.obj"), 1, "Error: unable to write file\n"},
		{glb + " --anim nosuch", 1, "Error: no bone animation named \"nosuch\""},
		{glb + " --vanim walk_l", 1, "Error: no vertex animation named \"walk_l\""},
		{kuribo + obj + " --vanim x", 1, "Error: vertex animations can only"},
		{kuribo + obj + " --anim walk_l --anim walk_r", 1, "Error: only one bone animation"},
		{walk + " --anim " + Corpus("human_walk_chr0.brres:human_walk") + " --frame 71", 1,
			"Error: frame 71 is outside the animation's frames 0 to 70\n"},
		{walk + " --anim nothing", 1, "Error: no bone animation named \"nothing\"; the file holds no bone animation\n"},
		{cow + " -f md5 -o " + In(dir, "w.md5anim"), 1, "Error: an MD5 animation needs the model it plays on (--model)\n"},
		{cow + " -o " + In(dir, "w.psa") + " --model /nonexistent/x.brres:cow", 1,
			"Error: no model named \"/nonexistent/x.brres:cow\""},
		{"export-texture " + kDemo + " nothing" + png, 1,
			"Error: no texture named \"nothing\"; its textures are Textures(NW4R)/crate_wood"},
		{"export-texture " + Quote(ci.string()) + " ci" + png, 1,
			"Error: this texture requires a palette and no palette has been loaded.\n"},
		{kuribo + " -f fbx" + obj, 2, ""}, // the parser's refusals all end the same way
	};
	for (const auto& c : cases) {
		const CommandResult run = RunCli(c.arguments);
		EXPECT_EQ(run.status, c.status) << c.arguments;
		EXPECT_EQ(run.err.substr(0, c.message.size()), c.message) << c.arguments;
		EXPECT_TRUE(c.status == 2 || (!run.err.empty() && run.err.back() == '\n')) << c.arguments;
	}
	EXPECT_EQ(FilesIn(dir.path), 0u);

	fs::create_directory(dir.path / "k.mtl"); // the OBJ is written, the MTL cannot be
	const CommandResult run = RunCli(kuribo + obj);
	EXPECT_EQ(std::pair(run.status, run.err), std::pair(1, std::string("Error: unable to write MTL file\n")));
	EXPECT_EQ(ReadText(dir.path / "k.obj").substr(0, 18), "mtllib kuribo.mtl\n");
	EXPECT_EQ(FilesIn(dir.path), 2u); // no temporary file left behind
}

// The demo damaged in bone 0's node, in its bone animation's entry count and
// in its last name: each command says what is damaged and goes on with what reads.
TEST(CliDamage, WarningsSayWhatIsDamaged)
{
	TempDir dir;
	Bytes bytes = ReadWholeFile(kShippedDemo).bytes;
	bytes.at(0x2E3) = bytes.at(0x2E4) = 0xFF;
	bytes.at(0x4980 + 0x22) = 0x7F;
	bytes.resize(20000);
	ASSERT_TRUE(WriteFileAtomically(dir.path / "d.brres", bytes));
	const std::string file = (dir.path / "d.brres").string(), path = Quote(file);
	const std::string listed = "Warning: the file is damaged and is listed only in part: the name at 0x4e18";
	const std::string model = "Warning: the model is damaged and was read only in part: bone 0 names node 4161536";
	CommandResult run = RunCli("info " + path);
	EXPECT_EQ(run.status, 0);
	EXPECT_NE(run.err.find(file + ": " + listed), std::string::npos) << run.err;
	EXPECT_NE(run.err.find(file + ": 3DModels(NW4R)/crate: " + model), std::string::npos) << run.err;
	const json info = json::parse(RunCli("info --json " + path).out);
	EXPECT_EQ(std::tuple(info["damaged"], info["models"][0]["damaged"], info["animations"][0]["error"]),
		std::tuple(json(true), json(true), json("the CHR0 counts 32516 bone entries, but only 69 fit in the file")));
	EXPECT_EQ(info["warning"].get<std::string>().rfind(listed, 0), 0u);
	EXPECT_EQ(info["models"][0]["warning"].get<std::string>().rfind(model, 0), 0u);
	run = RunCli("export-model " + path + " crate -o " + In(dir, "c.obj"));
	EXPECT_EQ(run.status, 0);
	EXPECT_EQ(run.err.rfind(model, 0), 0u) << run.err;
	for (const std::string& psa : {std::string(" -o "), " --model " + path + ":crate -o "}) {
		run = RunCli("export-anim " + path + " crate_open" + psa + In(dir, "a.psa"));
		EXPECT_EQ(run.status, 1);
		EXPECT_NE(run.err.find("32516 bone entries"), std::string::npos) << run.err;
	}
	run = RunCli("export-all " + path + " --models glb --anims psa");
	EXPECT_EQ(std::pair(run.status, run.out.substr(run.out.find('\n') + 1)),
		std::pair(1, std::string("1 written, 0 skipped as existing, 1 failed\n")));
	EXPECT_NE(run.err.find(file + ": CHR0 \"crate_open\": the CHR0 counts"), std::string::npos) << run.err;
}

TEST(CliExportTexture, PngAndTgaOfTheSameImageAndAModelsTexturesBesideIt)
{
	TempDir dir;
	CommandResult run = RunCli("export-texture " + kDemo + " crate_band -o " + In(dir, "band.png"));
	EXPECT_EQ(std::pair(run.status, run.err), std::pair(0, std::string()));
	const std::string png = ReadText(dir.path / "band.png");
	EXPECT_EQ(DecodePNG(Bytes(png.begin(), png.end())).size(), 32u * 32u * 4u);
	run = RunCli("export-texture " + kDemo + " 'Textures(NW4R)/crate_band' -f tga -o " + In(dir, "band.tga"));
	ASSERT_EQ(run.status, 0) << run.err;
	const std::string tga = ReadText(dir.path / "band.tga");
	EXPECT_EQ(tga.size(), 18u + 32 * 32 * 3); // opaque: 24 bits
	// a palette named by the user wins over the texture's own
	run = RunCli("export-texture " + kDemo + " crate_band --palette crate_label -o " + In(dir, "other.png"));
	ASSERT_EQ(run.status, 0) << run.err;
	EXPECT_NE(ReadText(dir.path / "other.png"), png);

	std::ofstream(dir.path / "crate_wood.tga") << "old";
	run = RunCli("export-model " + kDemo + " crate --textures -o " + In(dir, "crate.obj"));
	ASSERT_EQ(run.status, 0) << run.err;
	const std::string folder = dir.path.string() + "/";
	EXPECT_EQ(run.out, folder + "crate_wood.tga\n" + folder + "crate_band.tga\n" + folder + "crate_label.tga\n" + folder +
			"crate_shadow.tga\n");
	EXPECT_EQ(fs::file_size(dir.path / "crate_wood.tga"), 18u + 64 * 64 * 3); // replaced
}


TEST(CliList, EveryCorpusArchiveMatchesTheInventory)
{
	const std::map<std::string, int> kinds = {{"MDL0", 0}, {"TEX0", 1}, {"PLT0", 2}, {"CHR0", 3}, {"SHP0", 4}};
	const json inventory = CorpusInventory();
	ASSERT_FALSE(inventory.empty());
	std::string arguments = "list --json";
	for (const json& archive : inventory)
		arguments += " " + Quote(kCorpusDir + "/" + archive["file"].get<std::string>());
	const CommandResult run = RunCli(arguments);
	ASSERT_EQ(run.status, 0);
	const json listed = json::parse(run.out);
	ASSERT_EQ(listed["files"].size(), inventory.size());

	int nextId = 0; // ids go on across files, as in the viewer's one list
	for (std::size_t f = 0; f < inventory.size(); ++f) {
		const json& expected = inventory[f];
		const json& file = listed["files"][f];
		SCOPED_TRACE(expected["file"].get<std::string>());
		EXPECT_EQ((json{file["ok"], file["damaged"], file["error"]}), (json{true, false, nullptr}));
		const json& items = file["items"];
		ASSERT_FALSE(items.empty());
		EXPECT_EQ(items[0]["kind"], 11);
		EXPECT_EQ(items[0]["offset"], expected["bres_offset"]);
		EXPECT_EQ(items[0]["id"], nextId);
		nextId = items.back()["id"].get<int>() + 1;

		// name, offset, kind and folder of every entry, in order
		std::map<int, std::string> folders = {{items[0]["id"].get<int>(), ""}};
		json entries = json::array(), subfiles = json::array();
		for (const json& item : items) {
			EXPECT_EQ(item["archive"], items[0]["id"]);
			if (item["kind"] == 12)
				folders[item["id"].get<int>()] = item["name"];
			else if (item["kind"] != 11)
				entries.push_back({item["name"], item["offset"], item["kind"], folders[item["parent"].get<int>()]});
		}
		for (const json& s : expected["subfiles"])
			subfiles.push_back({s["name"], s["offset"], kinds.contains(s["kind"]) ? kinds.at(s["kind"]) : 10, s["folder"]});
		EXPECT_EQ(entries, subfiles);
	}
}

TEST(CliList, FilesThatFailAreListedAndTheStatusIsOne)
{
	const CommandResult run = RunCli("list --json /no/such/file " + Quote(kCorpusDir + "/INVENTORY.md"));
	EXPECT_EQ(run.status, 1);
	const json files = json::parse(run.out)["files"];
	ASSERT_EQ(files.size(), 2u);
	for (const auto& [i, error] : {std::pair{0, "Error: can't open file"}, {1, "Error: not a valid BRRES file"}})
		EXPECT_EQ((json{files[i]["error"], files[i]["ok"], files[i]["items"]}), (json{error, false, json::array()}));
}

} // namespace
} // namespace zentarra::testing
