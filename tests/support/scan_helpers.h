// Helpers for tests that scan archives.
#pragma once

#include "archive/brres_directory.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace zentarra::testing {

// Records what the scan did to the files panel.
struct RecordingTree : ItemTree {
	struct Node {
		int id;
		int parent;
		std::string text;
	};
	std::vector<Node> nodes;
	std::vector<int> expanded;

	void Tree_AddItem(int id, int parent, std::string_view text) override
	{
		nodes.push_back({id, parent, std::string(text)});
	}
	void Tree_Expand(int id) override { expanded.push_back(id); }

	int ParentOf(int id) const
	{
		for (const Node& node : nodes)
			if (node.id == id)
				return node.parent;
		return -2;
	}
};

struct Scan {
	OpenArchives items;
	RecordingTree tree;
	ScanResult result;
};

inline Scan ScanBytes(const std::vector<std::uint8_t>& bytes, const TreeOptions& options = {},
	std::string_view path = "dir/test.brres")
{
	Scan scan;
	ByteView file(bytes);
	scan.result = ReadBRRES(file, path, scan.items, &scan.tree, options);
	return scan;
}

// Every item lies inside the file: an archive's magic, a folder's group
// header, an entry's magic; every parent is an item scanned before it.
inline void ExpectItemsInsideFile(const Scan& scan, std::size_t fileSize)
{
	std::map<int, bool> seen;
	for (const ItemRecord& item : scan.items.items()) {
		const std::size_t need = item.kind == ItemKind::Folder ? 24 : 4;
		EXPECT_LE(item.offset, fileSize) << item.name;
		EXPECT_GE(fileSize - std::min(fileSize, item.offset), need) << item.name << " at " << item.offset;
		const int parent = scan.tree.ParentOf(item.id);
		EXPECT_TRUE(parent == -1 || seen.count(parent)) << item.name;
		seen[item.id] = true;
	}
	EXPECT_EQ(scan.tree.nodes.size(), scan.items.items().size());
}

} // namespace zentarra::testing
