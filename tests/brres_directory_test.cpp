#include "archive/brres_directory.h"

#include "support/brres_writer.h"
#include "support/scan_helpers.h"

#include <gtest/gtest.h>

namespace zentarra {
namespace {

using testing::Bytes;
using testing::BuildBRRES;
using testing::Folder;
using testing::ScanBytes;
using testing::StubSubFile;

const std::vector<Folder> kFolders = {
	{"3DModels(NW4R)", {{"body", StubSubFile("MDL0")}, {"head", StubSubFile("MDL0")}}},
	{"Textures(NW4R)", {{"skin", StubSubFile("TEX0")}, {"skin_pal", StubSubFile("PLT0")}}},
	{"AnmChr(NW4R)", {{"walk", StubSubFile("CHR0")}}},
	{"AnmShp(NW4R)", {{"blink", StubSubFile("SHP0")}}},
	{"AnmTexSrt(NW4R)", {{"scroll", StubSubFile("SRT0")}, {"odd", StubSubFile("MDL1")}}},
};

TEST(ReadBRRES, ArchiveAtTheStartListsFoldersAndEntriesInDirectoryOrder)
{
	const Bytes file = BuildBRRES(kFolders);
	const auto layout = testing::LayoutOf(kFolders);
	const auto scan = ScanBytes(file);

	EXPECT_EQ(scan.result.archives, 1);
	EXPECT_FALSE(scan.result.damaged) << scan.result.damage;
	const auto& items = scan.items.items();
	ASSERT_EQ(items.size(), 1u + 5u + 8u);

	EXPECT_EQ(items[0].kind, ItemKind::Archive);
	EXPECT_EQ(items[0].name, "dir/test.brres");
	EXPECT_EQ(items[0].path, "dir/test.brres");
	EXPECT_EQ(items[0].offset, 0u);
	EXPECT_EQ(items[0].archive, 0);

	const std::vector<std::pair<std::string, ItemKind>> expected = {
		{"3DModels(NW4R)", ItemKind::Folder}, {"body", ItemKind::MDL0}, {"head", ItemKind::MDL0},
		{"Textures(NW4R)", ItemKind::Folder}, {"skin", ItemKind::TEX0}, {"skin_pal", ItemKind::PLT0},
		{"AnmChr(NW4R)", ItemKind::Folder}, {"walk", ItemKind::CHR0},
		{"AnmShp(NW4R)", ItemKind::Folder}, {"blink", ItemKind::SHP0},
		{"AnmTexSrt(NW4R)", ItemKind::Folder}, {"scroll", ItemKind::Other}, {"odd", ItemKind::Other},
	};
	for (std::size_t i = 0; i < expected.size(); ++i) {
		EXPECT_EQ(items[i + 1].name, expected[i].first);
		EXPECT_EQ(items[i + 1].kind, expected[i].second) << expected[i].first;
		EXPECT_EQ(items[i + 1].archive, 0);
		EXPECT_EQ(items[i + 1].id, int(i + 1));
	}
	EXPECT_EQ(items[1].offset, layout.folderGroups[0]);
	EXPECT_EQ(items[2].offset, layout.subFiles[0][0]);
	EXPECT_EQ(items[13].offset, layout.subFiles[4][1]);
}

TEST(ReadBRRES, TreeNodesCarryItemIdsUnderTheirParents)
{
	const Bytes file = BuildBRRES(kFolders);
	const auto plain = ScanBytes(file, {false, false}, "C:\\games/x\\test.brres");
	ASSERT_EQ(plain.tree.nodes.size(), 14u);
	EXPECT_EQ(plain.tree.nodes[0].text, "test.brres");
	EXPECT_EQ(plain.tree.nodes[0].parent, -1);
	EXPECT_EQ(plain.tree.nodes[1].text, "3DModels(NW4R)");
	EXPECT_EQ(plain.tree.nodes[1].parent, 0);
	EXPECT_EQ(plain.tree.nodes[2].text, "body");
	EXPECT_EQ(plain.tree.nodes[2].parent, 1);
	EXPECT_EQ(plain.tree.nodes[5].parent, 4);
	EXPECT_TRUE(plain.tree.expanded.empty());

	const auto full = ScanBytes(file, {true, true}, "C:\\games/x\\test.brres");
	EXPECT_EQ(full.tree.nodes[0].text, "C:\\games/x\\test.brres");
	// the archive first, then each folder
	EXPECT_EQ(full.tree.expanded, (std::vector<int>{0, 1, 4, 7, 9, 11}));
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
	Bytes all;
	for (const Bytes& part : parts)
		all.insert(all.end(), part.begin(), part.end());
	return all;
}

TEST(ReadBRRES, ArchivesBackToBackAndEmbeddedAnywhere)
{
	const Bytes one = BuildBRRES({{"Textures(NW4R)", {{"a", StubSubFile("TEX0")}}}});
	const Bytes two = BuildBRRES({{"AnmChr(NW4R)", {{"b", StubSubFile("CHR0")}, {"c", StubSubFile("CHR0")}}}});
	const Bytes junk(1001, 0xAB); // odd length: the second archive starts misaligned
	const Bytes file = Concat({junk, one, junk, two, junk});

	const auto scan = ScanBytes(file);
	EXPECT_EQ(scan.result.archives, 2);
	EXPECT_FALSE(scan.result.damaged) << scan.result.damage;
	const auto& items = scan.items.items();
	ASSERT_EQ(items.size(), 3u + 4u);
	EXPECT_EQ(items[0].offset, 1001u);
	EXPECT_EQ(items[2].offset, 1001u + testing::LayoutOf({{"", {{"", StubSubFile("TEX0")}}}}).subFiles[0][0]);
	EXPECT_EQ(items[3].kind, ItemKind::Archive);
	EXPECT_EQ(items[3].offset, 1001u + one.size() + 1001u);
	EXPECT_EQ(items[3].path, items[0].path);
	EXPECT_NE(items[3].id, items[0].id);
	for (std::size_t i = 3; i < items.size(); ++i)
		EXPECT_EQ(items[i].archive, items[3].id);
	EXPECT_EQ(scan.tree.ParentOf(items[3].id), -1);
}

TEST(ReadBRRES, PartialMagicDoesNotHideTheRealOne)
{
	const Bytes archive = BuildBRRES({{"F", {{"e", StubSubFile("MDL0")}}}});
	for (const std::string prefix : {"b", "bb", "bre", "brebre", "bbrrbree"}) {
		const Bytes file = Concat({Bytes(prefix.begin(), prefix.end()), archive});
		const auto scan = ScanBytes(file);
		ASSERT_EQ(scan.result.archives, 1) << prefix;
		EXPECT_EQ(scan.items.items()[0].offset, prefix.size()) << prefix;
		EXPECT_EQ(scan.items.items()[2].kind, ItemKind::MDL0);
	}
}

TEST(ReadBRRES, NoMagicRecordsNothing)
{
	for (const Bytes& file : {Bytes{}, Bytes{'b', 'r', 'e'}, Bytes(4096, 'b'), Bytes{'B', 'R', 'E', 'S'}}) {
		const auto scan = ScanBytes(file);
		EXPECT_EQ(scan.result.archives, 0);
		EXPECT_FALSE(scan.result.damaged);
		EXPECT_TRUE(scan.items.items().empty());
		EXPECT_TRUE(scan.tree.nodes.empty());
	}
}

TEST(ReadBRRES, ContinuesIdsAcrossFiles)
{
	const Bytes file = BuildBRRES({{"F", {{"e", StubSubFile("MDL0")}}}});
	OpenArchives items;
	ByteView first(file);
	ByteView second(file);
	ReadBRRES(first, "a.brres", items, nullptr);
	ReadBRRES(second, "b.brres", items, nullptr);
	ASSERT_EQ(items.items().size(), 6u);
	EXPECT_EQ(items.items()[3].id, 3);
	EXPECT_EQ(items.items()[3].archive, 3);
	EXPECT_EQ(items.items()[5].archive, 3);
	EXPECT_EQ(items.items()[5].path, "b.brres");
}

TEST(ReadBRRES, SubFileBesideTheFoldersIsAnEntryOfTheArchive)
{
	// A text file stored in the root group: read as a folder, its bytes would
	// claim some billion entries.
	const Bytes base = BuildBRRES({{"Textures(NW4R)", {{"t", StubSubFile("TEX0")}}}, {"Todo.txt", {}}});
	const auto layout = testing::LayoutOf({{"Textures(NW4R)", {{"t", StubSubFile("TEX0")}}}, {"Todo.txt", {}}});
	Bytes file = base;
	const std::string text = "A test document in a brres file.";
	std::copy(text.begin(), text.end(), file.begin() + std::ptrdiff_t(layout.folderGroups[1]));

	const auto scan = ScanBytes(file);
	EXPECT_FALSE(scan.result.damaged) << scan.result.damage;
	const auto& items = scan.items.items();
	ASSERT_EQ(items.size(), 4u);
	EXPECT_EQ(items[3].name, "Todo.txt");
	EXPECT_EQ(items[3].kind, ItemKind::Other);
	EXPECT_EQ(items[3].offset, layout.folderGroups[1]);
	EXPECT_EQ(scan.tree.ParentOf(items[3].id), 0);
}

TEST(ReadBRRES, FolderNestedInAFolderIsWalked)
{
	// an empty group among a folder's entries, as some tools write "New folder"
	testing::ByteSink group;
	group.be32(24);
	group.be32(0);
	group.be16(0xFFFF);
	for (int i = 0; i < 14; ++i)
		group.u8(0);
	const std::vector<Folder> folders = {{"Custom", {{"note.txt", StubSubFile("This")}, {"New folder", group.bytes}}}};
	const auto scan = ScanBytes(BuildBRRES(folders));
	EXPECT_FALSE(scan.result.damaged) << scan.result.damage;
	const auto& items = scan.items.items();
	ASSERT_EQ(items.size(), 4u);
	EXPECT_EQ(items[2].kind, ItemKind::Other);
	EXPECT_EQ(items[3].kind, ItemKind::Folder);
	EXPECT_EQ(items[3].name, "New folder");
	EXPECT_EQ(scan.tree.ParentOf(items[3].id), items[1].id);
}

} // namespace
} // namespace zentarra
