// zentarra-cli list, run as a user runs it.
#include "export/cli_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>

namespace zentarra::testing {
namespace {

using nlohmann::json;

int KindCode(const std::string& kind)
{
	static const std::map<std::string, int> codes = {{"MDL0", 0}, {"TEX0", 1}, {"PLT0", 2}, {"CHR0", 3}, {"SHP0", 4}};
	const auto it = codes.find(kind);
	return it == codes.end() ? 10 : it->second;
}

TEST(CliList, EveryCorpusArchiveMatchesTheInventory)
{
	const json inventory = Inventory();
	ASSERT_FALSE(inventory.empty());
	std::string arguments = "list --json";
	for (const json& archive : inventory)
		arguments += " " + Quote(kCorpus + "/" + archive["file"].get<std::string>());
	const CommandResult run = RunCli(arguments);
	ASSERT_EQ(run.status, 0);
	const json listed = json::parse(run.out);
	ASSERT_EQ(listed["files"].size(), inventory.size());

	for (std::size_t f = 0; f < inventory.size(); ++f) {
		const json& expected = inventory[f];
		const json& file = listed["files"][f];
		SCOPED_TRACE(expected["file"].get<std::string>());
		EXPECT_TRUE(file["ok"].get<bool>());
		EXPECT_FALSE(file["damaged"].get<bool>());
		EXPECT_TRUE(file["error"].is_null());
		const json& items = file["items"];
		ASSERT_FALSE(items.empty());
		EXPECT_EQ(items[0]["kind"], 11);
		EXPECT_EQ(items[0]["offset"], expected["bres_offset"]);

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
			subfiles.push_back({s["name"], s["offset"], KindCode(s["kind"]), s["folder"]});
		EXPECT_EQ(entries, subfiles);
	}
}

TEST(CliList, JsonReportsEveryFileFailuresAndTheShippedDemo)
{
	const std::string good = kCorpus + "/brres/srt.brres";
	const CommandResult run = RunCli("list --json " + Quote(good) + " /no/such/file " + Quote(kCorpus) + " " +
		Quote(kCorpus + "/INVENTORY.md") + " " + Quote(good) + " " + Quote(ZENTARRA_SOURCE_DIR "/samples/demo.brres"));
	EXPECT_EQ(run.status, 1);
	const json files = json::parse(run.out)["files"];
	ASSERT_EQ(files.size(), 6u);
	// a missing file, a directory, a file without an archive
	for (const auto& [i, error] : {std::pair{1, "Error: can't open file"}, {2, "Error: can't open file"},
			 {3, "Error: not a valid BRRES file"}}) {
		EXPECT_EQ(files[i]["error"], error);
		EXPECT_FALSE(files[i]["ok"].get<bool>());
		EXPECT_TRUE(files[i]["items"].empty());
	}
	// ids go on across files, as in the viewer's one list
	ASSERT_EQ(files[0]["items"].size(), 3u);
	ASSERT_EQ(files[4]["items"].size(), 3u);
	EXPECT_EQ(files[4]["items"][0]["id"], 3);
	EXPECT_EQ(files[4]["items"][0]["archive"], 3);
	EXPECT_EQ(files[4]["path"], good);

	EXPECT_FALSE(files[5]["damaged"].get<bool>());
	std::vector<int> kinds;
	for (const json& item : files[5]["items"])
		kinds.push_back(item["kind"]);
	EXPECT_EQ(kinds, (std::vector<int>{11, 12, 0, 12, 1, 1, 1, 1, 12, 2, 2, 12, 3, 12, 4, 12, 10}));
}

TEST(CliList, TextTreeAndExitStatus)
{
	const CommandResult run = RunCli("list " + Quote(kCorpus + "/brres/kuribo_with_txt.brres"));
	EXPECT_EQ(run.status, 0);
	for (const char* line : {"kuribo_with_txt.brres  (archive at 0x0)\n",
			 "\n  3DModels(NW4R)/\n    kuribo-shadow  MDL0 at 0x1c0\n", "\n  Todo.txt  other at 0x1a0\n",
			 "\n    New folder/\n"})
		EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
	for (const auto& [arguments, status] :
		{std::pair{"list", 2}, {"", 2}, {"list --bogus x", 2}, {"frobnicate", 2}, {"--help", 0}})
		EXPECT_EQ(RunCli(arguments).status, status) << arguments;
}

} // namespace
} // namespace zentarra::testing
