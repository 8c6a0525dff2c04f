// Scanning archives in tests: what the scan listed and did to the files panel.
#pragma once

#include "archive/brres_directory.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace zentarra::testing {

struct Scan : ItemTree {
	OpenArchives items;
	ScanResult result;
	std::vector<std::tuple<int, int, std::string>> nodes; // id, parent, text
	std::vector<int> expanded;

	void Tree_AddItem(int id, int parent, std::string_view text) override { nodes.emplace_back(id, parent, text); }
	void Tree_Expand(int id) override { expanded.push_back(id); }
};

inline Scan ScanBytes(const std::vector<std::uint8_t>& bytes, const TreeOptions& options = {},
	std::string_view path = "dir/test.brres")
{
	Scan scan;
	ByteView file(bytes);
	scan.result = ReadBRRES(file, path, scan.items, &scan, options);
	return scan;
}

// Every item lies inside the file (an archive's magic, a folder's group
// header, an entry's magic), has a tree node, and its parent node came first.
inline void ExpectItemsInsideFile(const Scan& scan, std::size_t fileSize)
{
	ASSERT_EQ(scan.nodes.size(), scan.items.items().size());
	std::map<int, bool> seen = {{-1, true}};
	for (std::size_t i = 0; i < scan.nodes.size(); ++i) {
		const ItemRecord& item = scan.items.items()[i];
		const std::size_t need = item.kind == ItemKind::Folder ? 24 : 4;
		EXPECT_GE(fileSize - std::min(fileSize, item.offset), need) << item.name << " at " << item.offset;
		EXPECT_EQ(std::get<0>(scan.nodes[i]), item.id);
		EXPECT_TRUE(seen.count(std::get<1>(scan.nodes[i]))) << item.name;
		seen[item.id] = true;
	}
}

} // namespace zentarra::testing
