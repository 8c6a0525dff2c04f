// zentarra-cli list, run as a user runs it.
#include "export/cli_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>

namespace zentarra::testing {
namespace {

using nlohmann::json;

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
