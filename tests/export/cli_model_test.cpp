// zentarra-cli info and export-model, run as a user runs them.
#include "export/cli_run.h"
#include "support/brres_writer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace zentarra::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

json Inventory()
{
	std::ifstream file(kCorpus + "/INVENTORY.json");
	EXPECT_TRUE(file) << "corpus missing";
	return file ? json::parse(file) : json::array();
}

std::string CorpusFile(const std::string& name)
{
	return Quote(kCorpus + "/brres/" + name);
}

std::size_t CountLines(const std::string& text, const std::string& prefix)
{
	std::size_t count = 0;
	for (std::size_t at = 0; at < text.size();) {
		if (text.compare(at, prefix.size(), prefix) == 0)
			++count;
		const std::size_t end = text.find('\n', at);
		at = end == std::string::npos ? text.size() : end + 1;
	}
	return count;
}

void WriteBytes(const fs::path& path, const Bytes& bytes)
{
	std::ofstream out(path, std::ios::binary);
	out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::size_t FilesIn(const fs::path& dir)
{
	return std::size_t(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(CliInfo, JsonMatchesTheInventory)
{
	std::size_t modelsCompared = 0;
	for (const json& archive : Inventory()) {
		const std::string file = archive["file"];
		SCOPED_TRACE(file);
		std::vector<json> expected;
		for (const json& sub : archive["subfiles"])
			if (sub["kind"] == "MDL0")
				expected.push_back(sub);

		const CommandResult run = RunCli("info --json " + Quote(kCorpus + "/" + file));
		const json info = json::parse(run.out);
		EXPECT_EQ(info["path"], kCorpus + "/" + file);

		// a model without vertices fails the whole file
		const bool hasEmptyModel = std::any_of(expected.begin(), expected.end(),
			[](const json& sub) { return sub["vertices"] == 0; });
		if (hasEmptyModel) {
			EXPECT_EQ(run.status, 1);
			EXPECT_EQ(info["error"], "Error: this model doesn't have vertices");
			EXPECT_TRUE(info["models"].empty());
			continue;
		}
		EXPECT_EQ(run.status, 0) << run.err;
		EXPECT_FALSE(info.contains("error"));
		const json& models = info["models"];
		ASSERT_EQ(models.size(), expected.size());
		modelsCompared += expected.size();

		for (std::size_t i = 0; i < expected.size(); ++i) {
			const json& want = expected[i];
			const json& got = models[i];
			SCOPED_TRACE(want["name"].get<std::string>());
			EXPECT_EQ(got["name"], want["name"]);
			EXPECT_EQ(got["version"], want["version"]);
			EXPECT_EQ(got["meshes"], want["objects"]);
			EXPECT_EQ(got["triangles"], want["triangles"]);
			EXPECT_EQ(got["bones"], want["bones"]);
			EXPECT_EQ(got["materials"], want["materials"]);
			EXPECT_EQ(got["weightedNodes"], want["envelopes"]);
			EXPECT_GE(got["nodes"].get<int>(), got["bones"].get<int>() + got["weightedNodes"].get<int>());
			EXPECT_EQ(got["meshNames"].size(), want["objects"].get<std::size_t>());
			EXPECT_EQ(got["textures"].size(), want["materials"].get<std::size_t>());
			ASSERT_EQ(got["palettes"].size(), want["materials"].get<std::size_t>());
			if (want["palettes"] == 0) {
				for (const json& palette : got["palettes"])
					EXPECT_EQ(palette, "");
			}
			EXPECT_FALSE(got.contains("damaged"));
		}
	}
	EXPECT_GE(modelsCompared, 21u);
}

TEST(CliInfo, NamedModelsTextAndJson)
{
	const std::string kuribo = CorpusFile("kuribo.brres");
	CommandResult run = RunCli("info --json " + kuribo + " kuribo '3DModels(NW4R)/kuribo-shadow'");
	EXPECT_EQ(run.status, 0);
	json info = json::parse(run.out);
	ASSERT_EQ(info["models"].size(), 2u);
	// in the order asked for
	EXPECT_EQ(info["models"][0]["name"], "kuribo");
	EXPECT_EQ(info["models"][1]["name"], "kuribo-shadow");
	const json& model = info["models"][0];
	EXPECT_EQ(model["meshNames"], json::array({"polygon0"}));
	EXPECT_EQ(model["textures"], json::array({"kuribo"}));
	EXPECT_EQ(model["palettes"], json::array({""}));
	EXPECT_EQ(model["nodes"], 14);

	run = RunCli("info " + kuribo);
	EXPECT_EQ(run.status, 0);
	EXPECT_EQ(run.err, "");
	EXPECT_NE(run.out.find("3DModels(NW4R)/kuribo  MDL0 version 11\n"
						   "  meshes 1, triangles 260, bones 9, nodes 14 (5 weighted), materials 1\n"
						   "  mesh 0 \"polygon0\": 260 triangles, material 1\n"
						   "  material 1: texture \"kuribo\", palette \"\"\n"),
		std::string::npos)
		<< run.out;

	// an archive without models is no failure
	run = RunCli("info --json " + CorpusFile("srt.brres"));
	EXPECT_EQ(run.status, 0);
	EXPECT_EQ(json::parse(run.out)["models"], json::array());
}

TEST(CliInfo, FailuresAndUsage)
{
	const auto expectFailure = [](const std::string& arguments, const std::string& message) {
		const CommandResult run = RunCli("info --json " + arguments);
		EXPECT_EQ(run.status, 1) << arguments;
		const json info = json::parse(run.out);
		EXPECT_EQ(info["error"].get<std::string>().substr(0, message.size()), message) << arguments;
		EXPECT_EQ(info["models"], json::array());
	};
	expectFailure("/no/such/file", "Error: can't open file");
	expectFailure(Quote(kCorpus), "Error: can't open file");
	expectFailure(Quote(kCorpus + "/INVENTORY.md"), "Error: not a valid BRRES file");
	expectFailure(CorpusFile("kuribo.brres") + " kuribo nosuch", "Error: no model named \"nosuch\"");
	expectFailure(CorpusFile("srt.brres") + " kuribo", "Error: no model named \"kuribo\"");

	// text: the message on stderr
	const CommandResult run = RunCli("info " + CorpusFile("mat_lib.brres"));
	EXPECT_EQ(run.status, 1);
	EXPECT_NE(run.err.find("Error: this model doesn't have vertices"), std::string::npos);

	EXPECT_EQ(RunCli("info").status, 2);
	EXPECT_EQ(RunCli("info --bogus " + CorpusFile("kuribo.brres")).status, 2);
}

// Two folders each holding a model "m", neither with vertices.
fs::path WriteAmbiguousArchive(const fs::path& dir)
{
	const fs::path path = dir / "twice.brres";
	WriteBytes(path, BuildBRRES({{"A", {{"m", StubSubFile("MDL0", 128)}}}, {"B", {{"m", StubSubFile("MDL0", 128)}}}}));
	return path;
}

TEST(CliModelNames, RepeatedNamesNeedTheFolder)
{
	TempDir dir;
	ASSERT_FALSE(dir.path.empty());
	const std::string archive = Quote(WriteAmbiguousArchive(dir.path).string());
	const std::string obj = Quote((dir.path / "m.obj").string());

	CommandResult run = RunCli("info --json " + archive + " m");
	EXPECT_EQ(run.status, 1);
	const std::string error = json::parse(run.out)["error"];
	EXPECT_NE(error.find("more than one model is named \"m\""), std::string::npos) << error;
	EXPECT_NE(error.find("A/m, B/m"), std::string::npos) << error;

	run = RunCli("export-model " + archive + " m -o " + obj);
	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(run.err, error + "\n");

	// the folder settles it; this model then fails to read
	run = RunCli("export-model " + archive + " B/m -o " + obj);
	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(run.err, "Error: this model doesn't have vertices\n");
	EXPECT_EQ(FilesIn(dir.path), 1u); // nothing written beside the archive
}

std::string MaterialText(int number, const std::string& texture)
{
	return "newmtl mat" + std::to_string(number) +
		"\n\tNs 10\n\tNi 1.0\n\td 1.0\n\tTf 1 1 1\n\tillum 2\n\tKa 0.5 0.5 0.5\n\tKd 0.9 0.9 0.9\n\tKs 0.0 0.0 0.0\n"
		"\tmap_Kd " +
		texture + ".tga\n\n";
}

TEST(CliExportModel, WritesObjAndMtl)
{
	TempDir dir;
	ASSERT_FALSE(dir.path.empty());
	const std::string obj = Quote((dir.path / "k.obj").string());
	const CommandResult run = RunCli("export-model " + CorpusFile("kuribo.brres") + " kuribo -f obj -o " + obj);
	EXPECT_EQ(run.status, 0) << run.err;
	EXPECT_EQ(run.err, "");
	EXPECT_EQ(run.out, "");

	const std::string text = ReadText(dir.path / "k.obj");
	// the library line names the model, the library is written beside the OBJ
	EXPECT_EQ(text.substr(0, 19), "mtllib kuribo.mtl\n\n");
	EXPECT_EQ(ReadText(dir.path / "k.mtl"), MaterialText(1, "kuribo"));
	EXPECT_EQ(FilesIn(dir.path), 2u);

	EXPECT_EQ(CountLines(text, "f "), 260u);
	EXPECT_EQ(CountLines(text, "g "), 1u);
	EXPECT_NE(text.find("\n\ng polygon0\ns 1\nusemtl mat1\nf 1/1/1 "), std::string::npos);
	const std::size_t vertices = CountLines(text, "v ");
	EXPECT_EQ(CountLines(text, "vt "), vertices);
	EXPECT_EQ(CountLines(text, "vn "), vertices);
	EXPECT_GT(vertices, 100u);
	EXPECT_LT(vertices, 3 * 260u); // corners are shared
	EXPECT_EQ(text.substr(text.size() - 2), "\n\n");
}

TEST(CliExportModel, SeveralMeshesAndMaterials)
{
	TempDir dir;
	ASSERT_FALSE(dir.path.empty());
	const std::string out = Quote((dir.path / "moray.obj").string());
	const CommandResult run = RunCli("export-model " + CorpusFile("moray.brres") + " '3DModels(NW4R)/moray' -o " + out);
	ASSERT_EQ(run.status, 0) << run.err;
	const std::string obj = ReadText(dir.path / "moray.obj");
	EXPECT_EQ(CountLines(obj, "g "), 3u);
	EXPECT_EQ(CountLines(obj, "f "), 135u);
	EXPECT_EQ(ReadText(dir.path / "moray.mtl"),
		MaterialText(1, "hojiro_eye") + MaterialText(2, "hojiro_body") + MaterialText(3, "hojiro_kiba"));

	// every face names vertices of its own mesh: numbers rise mesh by mesh
	long long lowest = 0;
	long long highest = 0;
	std::size_t written = 0;
	std::istringstream lines(obj);
	for (std::string line; std::getline(lines, line);) {
		if (line.rfind("g ", 0) == 0) {
			lowest = highest + 1;
			highest = static_cast<long long>(written);
		} else if (line.rfind("v ", 0) == 0) {
			++written;
		} else if (line.rfind("f ", 0) == 0) {
			long long a, b, c, d, e, f, g, h, i;
			ASSERT_EQ(std::sscanf(line.c_str(), "f %lld/%lld/%lld %lld/%lld/%lld %lld/%lld/%lld", &a, &b, &c, &d, &e,
				&f, &g, &h, &i), 9) << line;
			for (const long long n : {a, d, g}) {
				EXPECT_GE(n, lowest) << line;
				EXPECT_LE(n, highest) << line;
			}
			EXPECT_TRUE(a == b && b == c && d == e && e == f && g == h && h == i) << line;
		}
	}
}

TEST(CliExportModel, Failures)
{
	TempDir dir;
	ASSERT_FALSE(dir.path.empty());
	const std::string kuribo = CorpusFile("kuribo.brres");
	const std::string obj = Quote((dir.path / "k.obj").string());
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
	const std::string noFolder = Quote((dir.path / "missing" / "k.obj").string());
	expectFailure(kuribo + " kuribo -o " + noFolder, "Error: unable to write file\n");
	EXPECT_EQ(FilesIn(dir.path), 0u);

	// the OBJ is written, the MTL cannot be: a folder stands in its way
	fs::create_directory(dir.path / "k.mtl");
	expectFailure(kuribo + " kuribo -o " + obj, "Error: unable to write MTL file\n");
	EXPECT_EQ(ReadText(dir.path / "k.obj").substr(0, 18), "mtllib kuribo.mtl\n");
	EXPECT_EQ(FilesIn(dir.path), 2u); // no temporary file left behind

	// usage
	EXPECT_EQ(RunCli("export-model " + kuribo + " kuribo -f psk -o " + obj).status, 2);
	EXPECT_EQ(RunCli("export-model " + kuribo + " kuribo").status, 2);
	EXPECT_EQ(RunCli("export-model " + kuribo + " -o " + obj).status, 2);
	EXPECT_EQ(RunCli("export-model " + kuribo + " kuribo -o " + Quote((dir.path / "k.txt").string())).status, 2);
}

} // namespace
} // namespace zentarra::testing
