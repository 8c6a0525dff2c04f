// The real archives of ../shared/corpus and their inventory, and the shipped demo archive.
#pragma once

#include "base/file_io.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <string>

namespace zentarra::testing {

inline const std::string kCorpusDir = ZENTARRA_CORPUS;
inline const std::string kShippedDemo = std::string(ZENTARRA_SOURCE_DIR) + "/samples/demo.brres";

// The inventory; null, and a test failure, when the corpus is missing.
inline nlohmann::json CorpusInventory()
{
	std::ifstream file(kCorpusDir + "/INVENTORY.json");
	EXPECT_TRUE(file) << "corpus missing: " << kCorpusDir;
	return file ? nlohmann::json::parse(file) : nlohmann::json();
}

// Calls visit(where, archive bytes, inventory entry) for every sub-file of
// that kind ("MDL0", "TEX0", ...) the inventory lists, `where` being
// "brres/file.brres name"; returns how many.
template <typename Visit>
int ForEachCorpusEntry(const std::string& kind, Visit visit)
{
	int entries = 0;
	for (const nlohmann::json& archive : CorpusInventory()) {
		const std::string file = archive["file"].get<std::string>();
		const FileBytes bytes = ReadWholeFile(kCorpusDir + "/" + file);
		EXPECT_EQ(bytes.status, ReadStatus::Ok) << file;
		for (const nlohmann::json& entry : archive["subfiles"]) {
			if (entry["kind"] != kind)
				continue;
			++entries;
			const std::string where = file + " " + entry["name"].get<std::string>();
			SCOPED_TRACE(where);
			visit(where, bytes.bytes, entry);
		}
	}
	return entries;
}

template <typename Visit>
int ForEachCorpusModel(Visit visit)
{
	return ForEachCorpusEntry("MDL0", visit);
}

} // namespace zentarra::testing
