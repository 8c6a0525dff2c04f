#include "archive/items.h"

#include <gtest/gtest.h>

namespace zentarra {
namespace {

// a.brres: Textures/{wood, stone}; b.brres: Textures/{wood} and a model wood; c.brres, empty.
OpenArchives ThreeArchives()
{
	OpenArchives items;
	const std::tuple<const char*, const char*, ItemKind, int> records[] = {{"a", "a", ItemKind::Archive, 0},
		{"a", "Textures", ItemKind::Folder, 0}, {"a", "wood", ItemKind::TEX0, 0}, {"a", "stone", ItemKind::TEX0, 0},
		{"b", "b", ItemKind::Archive, 4}, {"b", "Textures", ItemKind::Folder, 4}, {"b", "wood", ItemKind::TEX0, 4},
		{"b", "wood", ItemKind::MDL0, 4}, {"c", "c", ItemKind::Archive, 8}};
	for (const auto& [path, name, kind, archive] : records)
		items.CreateItem(path, name, 0, kind, archive);
	return items;
}

TEST(Items, IdsCountUpAreNeverReusedAndDeletingRemovesTheArchivesRun)
{
	OpenArchives items = ThreeArchives();
	EXPECT_EQ(items.GetItem(9), nullptr);
	EXPECT_EQ(items.GetItem(-1), nullptr);
	items.DeleteItemsFromFile(4);
	items.DeleteItemsFromFile(42);
	std::vector<int> ids;
	for (const ItemRecord& item : items.items())
		ids.push_back(item.id);
	EXPECT_EQ(ids, (std::vector<int>{0, 1, 2, 3, 8}));
	items.DeleteItemsFromFile(8); // the last run reaches the end
	EXPECT_EQ(items.GetLastItem()->id, 3);
	EXPECT_EQ(items.CreateItem("x", "x", 0, ItemKind::Archive, 9), 9);
	items.DeleteAllItems();
	EXPECT_EQ(items.GetLastItem(), nullptr);
	items.ResetIds(); // close-all
	EXPECT_EQ(items.CreateItem("e", "e", 0, ItemKind::Archive, 0), 0);
}

TEST(FindItem, SearchesFromTheStartThenWrapsAround)
{
	const OpenArchives items = ThreeArchives();
	const std::tuple<const char*, ItemKind, int, int> cases[] = {// name, kind, start, found (-1: none)
		{"wood", ItemKind::TEX0, 3, 6},  // a match after the start wins over an earlier one
		{"stone", ItemKind::TEX0, 5, 3}, // wraps to the head for what only stands before the start
		{"wood", ItemKind::TEX0, 2, 2},  // the start record itself is searched first
		{"wood", ItemKind::MDL0, 0, 7},  // the kind must match too
		{"woo", ItemKind::TEX0, 0, -1},
		{"wood", ItemKind::TEX0, 99, 2}}; // an unknown start id searches the whole list from the head
	for (const auto& [name, kind, start, found] : cases) {
		const ItemRecord* item = items.FindItem(name, kind, start);
		EXPECT_EQ(item ? item->id : -1, found) << name << " from " << start;
	}
}

} // namespace
} // namespace zentarra
