#include "archive/items.h"

#include <gtest/gtest.h>

namespace zentarra {
namespace {

// Two archives: a.brres holds Textures/{wood, stone}, b.brres holds Textures/{wood}
// and a model wood; then c.brres, empty.
OpenArchives ThreeArchives()
{
	OpenArchives items;
	items.CreateItem("a.brres", "a.brres", 0, ItemKind::Archive, 0);       // 0
	items.CreateItem("a.brres", "Textures", 0x40, ItemKind::Folder, 0);    // 1
	items.CreateItem("a.brres", "wood", 0x100, ItemKind::TEX0, 0);         // 2
	items.CreateItem("a.brres", "stone", 0x200, ItemKind::TEX0, 0);        // 3
	items.CreateItem("b.brres", "b.brres", 0, ItemKind::Archive, 4);       // 4
	items.CreateItem("b.brres", "Textures", 0x40, ItemKind::Folder, 4);    // 5
	items.CreateItem("b.brres", "wood", 0x300, ItemKind::TEX0, 4);         // 6
	items.CreateItem("b.brres", "wood", 0x400, ItemKind::MDL0, 4);         // 7
	items.CreateItem("c.brres", "c.brres", 0, ItemKind::Archive, 8);       // 8
	return items;
}

TEST(Items, IdsCountUpAndAreNeverReused)
{
	OpenArchives items = ThreeArchives();
	EXPECT_EQ(items.GetItem(3)->name, "stone");
	EXPECT_EQ(items.GetItem(9), nullptr);
	EXPECT_EQ(items.GetItem(-1), nullptr);
	items.DeleteItemsFromFile(0);
	EXPECT_EQ(items.CreateItem("x", "x", 0, ItemKind::Archive, 9), 9);
	EXPECT_EQ(items.GetItem(2), nullptr);
	items.DeleteAllItems();
	EXPECT_EQ(items.GetLastItem(), nullptr);
	EXPECT_EQ(items.CreateItem("d", "d", 0, ItemKind::Archive, 10), 10);
	EXPECT_EQ(items.GetLastItem()->id, 10);
	items.ResetIds(); // close-all
	EXPECT_EQ(items.CreateItem("e", "e", 0, ItemKind::Archive, 0), 0);
}

TEST(FindItem, SearchesFromTheStartThenWrapsAround)
{
	const OpenArchives items = ThreeArchives();
	const struct {
		const char* name;
		ItemKind kind;
		int start, found; // -1: none
	} cases[] = {
		{"wood", ItemKind::TEX0, 0, 2},  // from a.brres: its own wood first
		{"wood", ItemKind::TEX0, 4, 6},  // a match after the start wins over an earlier one
		{"wood", ItemKind::TEX0, 3, 6},
		{"stone", ItemKind::TEX0, 5, 3}, // wraps to the head for what only stands before the start
		{"wood", ItemKind::TEX0, 2, 2},  // the start record itself is searched first
		{"wood", ItemKind::MDL0, 0, 7},  // the kind must match too
		{"Wood", ItemKind::TEX0, 0, -1}, // exact and case-sensitive
		{"woo", ItemKind::TEX0, 0, -1},
		{"wood", ItemKind::TEX0, 99, 2}, // an unknown start id searches the whole list from the head
	};
	for (const auto& c : cases) {
		const ItemRecord* found = items.FindItem(c.name, c.kind, c.start);
		EXPECT_EQ(found ? found->id : -1, c.found) << c.name << " from " << c.start;
	}
	EXPECT_EQ(OpenArchives().FindItem("wood", ItemKind::TEX0, 0), nullptr);
}

TEST(DeleteItemsFromFile, RemovesExactlyTheArchivesRun)
{
	const std::pair<int, std::vector<int>> cases[] = {
		{0, {4, 5, 6, 7, 8}},
		{4, {0, 1, 2, 3, 8}},
		{8, {0, 1, 2, 3, 4, 5, 6, 7}},
		{42, {0, 1, 2, 3, 4, 5, 6, 7, 8}},
	};
	for (const auto& [archive, left] : cases) {
		OpenArchives items = ThreeArchives();
		items.DeleteItemsFromFile(archive);
		std::vector<int> ids;
		for (const ItemRecord& item : items.items())
			ids.push_back(item.id);
		EXPECT_EQ(ids, left) << archive;
	}
}

} // namespace
} // namespace zentarra
