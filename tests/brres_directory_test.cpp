#include "archive/brres_directory.h"

#include "support/brres_writer.h"
#include "support/scan_helpers.h"

#include <gtest/gtest.h>

namespace zentarra {
namespace {

using testing::Bytes;
using testing::BuildBRRES;
using testing::ScanBytes;
using testing::StubSubFile;

TEST(ReadBRRES, ListsFoldersAndEntriesInDirectoryOrderAndBuildsTheTree)
{
	const std::vector<testing::Folder> folders = {
		{"3DModels(NW4R)", {{"body", StubSubFile("MDL0")}, {"head", StubSubFile("MDL0")}}},
		{"Textures(NW4R)", {{"skin", StubSubFile("TEX0")}, {"skin_pal", StubSubFile("PLT0")}}},
		{"AnmChr(NW4R)", {{"walk", StubSubFile("CHR0")}}},
		{"AnmShp(NW4R)", {{"blink", StubSubFile("SHP0")}}},
		{"AnmTexSrt(NW4R)", {{"scroll", StubSubFile("SRT0")}, {"odd", StubSubFile("MDL1")}}},
	};
	const ItemKind kinds[] = {ItemKind::MDL0, ItemKind::MDL0, ItemKind::TEX0, ItemKind::PLT0, ItemKind::CHR0,
		ItemKind::SHP0, ItemKind::Other, ItemKind::Other};
	const Bytes file = BuildBRRES(folders);
	const testing::Layout layout = testing::LayoutOf(folders);
	const std::string path = "C:\\games/x\\test.brres";

	// id, kind, name, offset; and id, parent, text of the tree nodes
	std::vector<std::tuple<int, ItemKind, std::string, std::size_t>> expected = {{0, ItemKind::Archive, path, 0}};
	std::vector<std::tuple<int, int, std::string>> nodes = {{0, -1, "test.brres"}};
	std::size_t entry = 0;
	for (std::size_t f = 0; f < folders.size(); ++f) {
		const int folder = int(expected.size());
		expected.emplace_back(folder, ItemKind::Folder, folders[f].name, layout.folderGroups[f]);
		nodes.emplace_back(folder, 0, folders[f].name);
		for (std::size_t e = 0; e < folders[f].entries.size(); ++e) {
			nodes.emplace_back(int(expected.size()), folder, folders[f].entries[e].name);
			expected.emplace_back(int(expected.size()), kinds[entry++], folders[f].entries[e].name, layout.subFiles[f][e]);
		}
	}

	const auto plain = ScanBytes(file, {false, false}, path);
	EXPECT_EQ(plain.result.archives, 1);
	EXPECT_FALSE(plain.result.damaged) << plain.result.damage;
	std::vector<std::tuple<int, ItemKind, std::string, std::size_t>> items;
	for (const ItemRecord& item : plain.items.items()) {
		items.emplace_back(item.id, item.kind, item.name, item.offset);
		EXPECT_EQ(item.archive, 0);
		EXPECT_EQ(item.path, path);
	}
	EXPECT_EQ(items, expected);
	EXPECT_EQ(plain.nodes, nodes);
	EXPECT_TRUE(plain.expanded.empty());

	const auto full = ScanBytes(file, {true, true}, path);
	EXPECT_EQ(std::get<2>(full.nodes[0]), path);
	EXPECT_EQ(full.expanded, (std::vector<int>{0, 1, 4, 7, 9, 11})); // the archive first, then each folder
}

TEST(ReadBRRES, ArchivesFoundAnywhereBackToBackAndBehindPartialMagics)
{
	const Bytes one = BuildBRRES({{"Textures(NW4R)", {{"a", StubSubFile("TEX0")}}}});
	const Bytes two = BuildBRRES({{"AnmChr(NW4R)", {{"b", StubSubFile("CHR0")}, {"c", StubSubFile("CHR0")}}}});
	const Bytes junk(1001, 'b'); // odd length: the second archive starts misaligned
	const auto concat = [](std::initializer_list<Bytes> parts) {
		Bytes all;
		for (const Bytes& part : parts)
			all.insert(all.end(), part.begin(), part.end());
		return all;
	};
	const std::pair<Bytes, std::vector<std::size_t>> cases[] = {// the file, where each archive starts
		{concat({junk, one, junk, two, junk}), {1001, 1001 + one.size() + 1001}},
		{concat({{'b', 'b', 'r', 'r', 'b', 'r', 'e', 'e'}, one}), {8}}, {{}, {}}, {{'b', 'r', 'e', 'B', 'R', 'E', 'S'}, {}}};
	const std::size_t entryInOne = testing::LayoutOf({{"", {{"", StubSubFile("TEX0")}}}}).subFiles[0][0];
	for (const auto& [file, starts] : cases) {
		const auto scan = ScanBytes(file);
		EXPECT_EQ(scan.result.archives, int(starts.size()));
		EXPECT_FALSE(scan.result.damaged) << scan.result.damage;
		testing::ExpectItemsInsideFile(scan, file.size());
		// each item belongs to the archive item before it, at its offset
		std::vector<std::size_t> archives;
		for (const ItemRecord& item : scan.items.items()) {
			if (item.kind == ItemKind::Archive)
				archives.push_back(item.offset);
			else
				EXPECT_EQ(scan.items.GetItem(item.archive)->offset, archives.back()) << item.name;
		}
		EXPECT_EQ(archives, starts);
		EXPECT_TRUE(starts.empty() || scan.items.items().at(2).offset == starts[0] + entryInOne);
	}
}

} // namespace
} // namespace zentarra
