// The list of open archives' items, and opening files into it.
#include "archive/open_files.h"

#include "base/file_io.h"
#include "export/cli_run.h"
#include "support/brres_writer.h"

#include <gtest/gtest.h>

namespace zentarra {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

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
	items.DeleteItemsFromFile(4);
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

TEST(OpenFiles, ArchivesOpenDamagedOnesWithAWarningFailuresChangeNothing)
{
	testing::TempDir dir;
	const Bytes archive = testing::BuildBRRES({{"F", {{"e", testing::StubSubFile("TEX0")}}}});
	const Bytes cut(archive.begin(), archive.begin() + std::ptrdiff_t(archive.size() / 2)), none;
	const std::tuple<const char*, const Bytes*, OpenStatus, std::string, std::size_t> cases[] = {
		// file (not written without bytes), status, a part of the message (empty: none), items added
		{"a.brres", &archive, OpenStatus::Opened, "", 3},
		{"cut.brres", &cut, OpenStatus::Opened, "damaged and is listed only in part: ", 2},
		{"", nullptr, OpenStatus::CannotOpen, std::string(kCantOpenFile), 0}, // the directory
		{"empty.brres", &none, OpenStatus::NotBrres, std::string(kNotValidBrres), 0}};
	for (const auto& [name, bytes, status, message, added] : cases) {
		const fs::path path = dir.path / name;
		EXPECT_TRUE(!bytes || WriteFileAtomically(path, *bytes));
		OpenArchives items;
		items.CreateItem("x", "x", 0, ItemKind::Archive, 0);
		const OpenResult result = OpenArchiveFile(path.string(), items, nullptr);
		EXPECT_EQ(result.status, status) << name;
		EXPECT_EQ(items.items().size(), 1 + added) << name;
		EXPECT_NE(result.message.value_or(UserMessage{}).text.find(message + result.scan.damage), std::string::npos)
			<< name;
		EXPECT_EQ(result.message.has_value(), !message.empty()) << name;
	}
	EXPECT_FALSE(WriteFileAtomically(dir.path / "no-such-dir" / "x", Bytes{1}));
}

TEST(OpenFiles, OneReportForSeveralFilesAndQuotesDropped)
{
	EXPECT_FALSE(MessageForOpenedFiles(0, 3));
	const std::tuple<int, int, std::string_view, MessageIcon> cases[] = {
		{1, 3, kOneSelectedInvalid, MessageIcon::Warning}, {2, 3, kSomeSelectedInvalid, MessageIcon::Warning},
		{2, 2, kNoneSelectedValid, MessageIcon::Error}, {1, 1, kNotValidBrres, MessageIcon::Error}};
	for (const auto& [failures, files, text, icon] : cases) {
		const std::optional<UserMessage> message = MessageForOpenedFiles(failures, files);
		ASSERT_TRUE(message);
		EXPECT_EQ(std::pair(message->text, message->icon), std::pair(std::string(text), icon));
	}
	EXPECT_EQ(ArchivePathFromCommandLine("\"C:\\My Games\\a.brres\""), "C:\\My Games\\a.brres");
	EXPECT_EQ(ArchivePathFromCommandLine("\""), "");
	EXPECT_EQ(ArchivePathFromCommandLine(""), "");
}

} // namespace
} // namespace zentarra
