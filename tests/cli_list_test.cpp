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
		const int archiveId = items[0]["id"];

		std::map<int, std::string> folderNames = {{archiveId, ""}};
		std::vector<json> entries;
		for (const json& item : items) {
			EXPECT_EQ(item["archive"], archiveId);
			if (item["kind"] == 12)
				folderNames[item["id"].get<int>()] = item["name"];
			else if (item["kind"] != 11)
				entries.push_back(item);
		}
		const json& subfiles = expected["subfiles"];
		ASSERT_EQ(entries.size(), subfiles.size());
		for (std::size_t i = 0; i < entries.size(); ++i) {
			EXPECT_EQ(entries[i]["name"], subfiles[i]["name"]);
			EXPECT_EQ(entries[i]["offset"], subfiles[i]["offset"]);
			EXPECT_EQ(entries[i]["kind"], KindCode(subfiles[i]["kind"]));
			EXPECT_EQ(folderNames[entries[i]["parent"].get<int>()], subfiles[i]["folder"]) << subfiles[i]["name"];
		}
	}
}

TEST(CliList, JsonReportsEveryFileAndFailures)
{
	const std::string good = kCorpus + "/brres/srt.brres";
	const CommandResult run = RunCli("list --json " + Quote(good) + " /no/such/file " + Quote(kCorpus) + " " +
		Quote(kCorpus + "/INVENTORY.md") + " " + Quote(good));
	EXPECT_EQ(run.status, 1);
	const json listed = json::parse(run.out);
	const json& files = listed["files"];
	ASSERT_EQ(files.size(), 5u);
	EXPECT_EQ(files[1]["error"], "Error: can't open file");
	EXPECT_EQ(files[2]["error"], "Error: can't open file"); // a directory
	EXPECT_EQ(files[3]["error"], "Error: not a valid BRRES file");
	for (int i : {1, 2, 3}) {
		EXPECT_FALSE(files[i]["ok"].get<bool>());
		EXPECT_TRUE(files[i]["items"].empty());
	}
	// ids go on across files, as in the viewer's one list
	ASSERT_EQ(files[0]["items"].size(), 3u);
	ASSERT_EQ(files[4]["items"].size(), 3u);
	EXPECT_EQ(files[4]["items"][0]["id"], 3);
	EXPECT_EQ(files[4]["items"][0]["archive"], 3);
	EXPECT_EQ(files[4]["path"], good);
}

TEST(CliList, TextTreeAndExitStatus)
{
	const CommandResult run = RunCli("list " + Quote(kCorpus + "/brres/kuribo_with_txt.brres"));
	EXPECT_EQ(run.status, 0);
	EXPECT_NE(run.out.find("kuribo_with_txt.brres  (archive at 0x0)\n"), std::string::npos) << run.out;
	EXPECT_NE(run.out.find("\n  3DModels(NW4R)/\n    kuribo-shadow  MDL0 at 0x1c0\n"), std::string::npos) << run.out;
	EXPECT_NE(run.out.find("\n  Todo.txt  other at 0x1a0\n"), std::string::npos) << run.out;
	EXPECT_NE(run.out.find("\n    New folder/\n"), std::string::npos) << run.out;

	EXPECT_EQ(RunCli("list").status, 2);
	EXPECT_EQ(RunCli("").status, 2);
	EXPECT_EQ(RunCli("list --bogus x").status, 2);
	EXPECT_EQ(RunCli("frobnicate").status, 2);
	EXPECT_EQ(RunCli("--help").status, 0);
}

TEST(CliList, ShippedDemoArchiveLists)
{
	const CommandResult run = RunCli("list --json " + Quote(std::string(ZENTARRA_SOURCE_DIR) + "/samples/demo.brres"));
	EXPECT_EQ(run.status, 0);
	const json listed = json::parse(run.out);
	ASSERT_EQ(listed["files"].size(), 1u);
	const json& file = listed["files"][0];
	EXPECT_FALSE(file["damaged"].get<bool>());
	std::vector<int> kinds;
	for (const json& item : file["items"])
		kinds.push_back(item["kind"]);
	EXPECT_EQ(kinds, (std::vector<int>{11, 12, 0, 12, 1, 1, 1, 1, 12, 2, 2, 12, 3, 12, 4, 12, 10}));
}

} // namespace
} // namespace zentarra::testing
