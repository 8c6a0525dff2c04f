#include "archive/items.h"

#include <gtest/gtest.h>

namespace zentarra {
namespace {

// Two archives: a.brres holds Textures/{wood, stone}, b.brres holds Textures/{wood}.
OpenArchives TwoArchives()
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
	return items;
}

TEST(Items, IdsCountUpAndAreNeverReused)
{
	OpenArchives items = TwoArchives();
	EXPECT_EQ(items.nextId(), 8);
	items.DeleteItemsFromFile(0);
	EXPECT_EQ(items.CreateItem("c", "c", 0, ItemKind::Archive, 8), 8);
	EXPECT_EQ(items.GetItem(2), nullptr);
	items.DeleteAllItems();
	EXPECT_EQ(items.GetLastItem(), nullptr);
	EXPECT_EQ(items.CreateItem("d", "d", 0, ItemKind::Archive, 9), 9);
	items.ResetIds(); // close-all
	EXPECT_EQ(items.CreateItem("e", "e", 0, ItemKind::Archive, 0), 0);
}

TEST(Items, GetItemAndGetLastItem)
{
	const OpenArchives items = TwoArchives();
	ASSERT_NE(items.GetItem(3), nullptr);
	EXPECT_EQ(items.GetItem(3)->name, "stone");
	EXPECT_EQ(items.GetItem(3)->offset, 0x200u);
	EXPECT_EQ(items.GetItem(8), nullptr);
	EXPECT_EQ(items.GetItem(-1), nullptr);
	EXPECT_EQ(items.GetLastItem()->id, 7);
	EXPECT_EQ(OpenArchives().GetLastItem(), nullptr);
}

TEST(FindItem, SearchesFromTheStartThenWrapsAround)
{
	const OpenArchives items = TwoArchives();
	// from a.brres: its own wood first
	EXPECT_EQ(items.FindItem("wood", ItemKind::TEX0, 0)->id, 2);
	// from the middle: a match after the start wins over an earlier one
	EXPECT_EQ(items.FindItem("wood", ItemKind::TEX0, 4)->id, 6);
	EXPECT_EQ(items.FindItem("wood", ItemKind::TEX0, 3)->id, 6);
	// wraps to the head for what only stands before the start
	EXPECT_EQ(items.FindItem("stone", ItemKind::TEX0, 5)->id, 3);
	// the start record itself is searched first
	EXPECT_EQ(items.FindItem("wood", ItemKind::TEX0, 2)->id, 2);
	// the kind must match too
	EXPECT_EQ(items.FindItem("wood", ItemKind::MDL0, 0)->id, 7);
	// exact and case-sensitive
	EXPECT_EQ(items.FindItem("Wood", ItemKind::TEX0, 0), nullptr);
	EXPECT_EQ(items.FindItem("woo", ItemKind::TEX0, 0), nullptr);
	// an unknown start id searches the whole list from the head
	EXPECT_EQ(items.FindItem("wood", ItemKind::TEX0, 99)->id, 2);
	EXPECT_EQ(OpenArchives().FindItem("wood", ItemKind::TEX0, 0), nullptr);
}

std::vector<int> Ids(const OpenArchives& items)
{
	std::vector<int> ids;
	for (const ItemRecord& item : items.items())
		ids.push_back(item.id);
	return ids;
}

TEST(DeleteItemsFromFile, RemovesExactlyTheArchivesRun)
{
	OpenArchives items = TwoArchives();
	items.CreateItem("c.brres", "c.brres", 0, ItemKind::Archive, 8); // 8, no folders

	OpenArchives first = items;
	first.DeleteItemsFromFile(0);
	EXPECT_EQ(Ids(first), (std::vector<int>{4, 5, 6, 7, 8}));
	EXPECT_EQ(first.items().front().kind, ItemKind::Archive);

	OpenArchives middle = items;
	middle.DeleteItemsFromFile(4);
	EXPECT_EQ(Ids(middle), (std::vector<int>{0, 1, 2, 3, 8}));
	EXPECT_EQ(middle.FindItem("wood", ItemKind::TEX0, 0)->id, 2);

	OpenArchives last = items;
	last.DeleteItemsFromFile(8);
	EXPECT_EQ(Ids(last), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));

	OpenArchives missing = items;
	missing.DeleteItemsFromFile(42);
	EXPECT_EQ(Ids(missing), Ids(items));
}

} // namespace
} // namespace zentarra
