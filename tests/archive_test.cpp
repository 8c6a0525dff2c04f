// Listing archives: folders and entries in directory order; and archives that
// are cut short, point outside themselves or repeat themselves: the scan must
// end, stay inside the file, allocate in proportion to the file, list what it
// can and say that the file is damaged. Opening files into the open archives.
#include "archive/brres_directory.h"
#include "base/file_io.h"
#include "support/brres_writer.h"
#include "archive/open_files.h"
#include "export/cli_run.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <tuple>

namespace zentarra {
namespace {

using testing::Bytes;
using testing::BuildBRRES;
using testing::ByteSink;
using testing::Folder;
using testing::Layout;
using testing::LayoutOf;
using testing::StubSubFile;
namespace fs = std::filesystem;

// What the scan listed and did to the files panel.
struct Scan : ItemTree {
	OpenArchives items;
	ScanResult result;
	std::vector<std::tuple<int, int, std::string>> nodes; // id, parent, text
	std::vector<int> expanded;

	void Tree_AddItem(int id, int parent, std::string_view text) override { nodes.emplace_back(id, parent, text); }
	void Tree_Expand(int id) override { expanded.push_back(id); }
};

Scan ScanBytes(const std::vector<std::uint8_t>& bytes, const TreeOptions& options = {},
	std::string_view path = "dir/test.brres")
{
	Scan scan;
	ByteView file(bytes);
	scan.result = ReadBRRES(file, path, scan.items, &scan, options);
	return scan;
}

// Every item lies inside the file (an archive's magic, a folder's group
// header, an entry's magic), has a tree node, and its parent node came first;
// at most one item per 16 bytes of directory, plus the archive items.
void ExpectBounded(const Scan& scan, std::size_t fileSize)
{
	EXPECT_LE(scan.items.items().size(), fileSize / 16 + fileSize / 4 + 1);
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

TEST(ReadBRRES, ListsFoldersAndEntriesInDirectoryOrderAndBuildsTheTree)
{
	const std::vector<Folder> folders = {
		{"3DModels(NW4R)", {{"body", StubSubFile("MDL0")}, {"head", StubSubFile("MDL0")}}},
		{"Textures(NW4R)", {{"skin", StubSubFile("TEX0")}, {"skin_pal", StubSubFile("PLT0")}}},
		{"Anm(NW4R)", {{"walk", StubSubFile("CHR0")}, {"blink", StubSubFile("SHP0")}, {"odd", StubSubFile("MDL1")}}},
	};
	const Bytes file = BuildBRRES(folders);
	const Layout layout = LayoutOf(folders);
	const std::string path = "C:\\games/x\\test.brres";
	const std::vector<std::size_t>& at = layout.folderGroups;
	const std::vector<std::vector<std::size_t>>& sub = layout.subFiles;
	// kind, name, offset and parent of each item, ids counting up from 0
	const std::tuple<ItemKind, std::string, std::size_t, int> expected[] = {{ItemKind::Archive, path, 0, -1},
		{ItemKind::Folder, "3DModels(NW4R)", at[0], 0}, {ItemKind::MDL0, "body", sub[0][0], 1},
		{ItemKind::MDL0, "head", sub[0][1], 1}, {ItemKind::Folder, "Textures(NW4R)", at[1], 0},
		{ItemKind::TEX0, "skin", sub[1][0], 4}, {ItemKind::PLT0, "skin_pal", sub[1][1], 4},
		{ItemKind::Folder, "Anm(NW4R)", at[2], 0}, {ItemKind::CHR0, "walk", sub[2][0], 7},
		{ItemKind::SHP0, "blink", sub[2][1], 7}, {ItemKind::Other, "odd", sub[2][2], 7}};

	const auto plain = ScanBytes(file, {false, false}, path);
	EXPECT_EQ(plain.result.archives, 1);
	EXPECT_FALSE(plain.result.damaged) << plain.result.damage;
	ASSERT_EQ(plain.items.items().size(), std::size(expected));
	for (std::size_t i = 0; i < std::size(expected); ++i) {
		const ItemRecord& item = plain.items.items()[i];
		const auto& [kind, name, offset, parent] = expected[i];
		EXPECT_EQ(std::tuple(item.id, item.kind, item.name, item.offset), std::tuple(int(i), kind, name, offset));
		EXPECT_EQ(plain.nodes.at(i), std::tuple(int(i), parent, i ? name : "test.brres")); // the file name alone
	}

	const auto full = ScanBytes(file, {true, true}, path);
	EXPECT_EQ(std::get<2>(full.nodes[0]), path);
	EXPECT_EQ(full.expanded, (std::vector<int>{0, 1, 4, 7})); // the archive first, then each folder
}

const std::vector<Folder> kFolders = {
	{"3DModels(NW4R)", {{"body", StubSubFile("MDL0")}, {"head", StubSubFile("MDL0")}}},
	{"Textures(NW4R)", {{"skin", StubSubFile("TEX0")}}},
};

// The absolute offset of entry i's name (+8) or data (+12) field in the group at `group`.
std::size_t Field(std::size_t group, std::size_t i, std::size_t field) { return group + 24 + 16 * i + field; }

TEST(DamagedArchive, DirectoryFieldsPointingAnywhereListWhatFits)
{
	const Layout layout = LayoutOf(kFolders);
	const std::size_t models = layout.folderGroups[0], textures = layout.folderGroups[1];
	const std::vector<std::string> all = {"dir/test.brres", "3DModels(NW4R)", "body", "head", "Textures(NW4R)", "skin"};
	const auto patch = [](std::size_t at, std::uint32_t value) {
		return [=](ByteSink& file) { file.patch32(at, value); };
	};
	const struct {
		std::function<void(ByteSink&)> damage;
		const char* message;
		std::vector<std::string> names; // the leading ones
		bool exactly;                   // and no others
	} cases[] = {
		// a count of all ones: the real first folder still comes first, with its entries
		{patch(layout.rootGroup + 4, 0xFFFFFFFF), "4294967295", {all[0], all[1], all[2]}, false},
		// an entry outside is left out, the rest listed
		{patch(Field(models, 0, 12), 0xFFFFFFFF), "body", {all[0], all[1], all[3], all[4], all[5]}, true},
		// an entry at its own group, another at the next folder's group: walked
		// as a nested folder, then again as itself
		{[&](ByteSink& file) {
			 file.patch32(Field(models, 1, 12), 0);
			 file.patch32(Field(models, 0, 12), std::uint32_t(textures - models));
		 },
			"loops back", {all[0], all[1]}, false},
	};
	for (const auto& c : cases) {
		ByteSink damaged{BuildBRRES(kFolders)};
		c.damage(damaged);
		const Bytes& file = damaged.bytes;
		const auto scan = ScanBytes(file);
		SCOPED_TRACE(scan.result.damage);
		EXPECT_EQ(scan.result.archives, 1);
		EXPECT_TRUE(scan.result.damaged);
		EXPECT_NE(scan.result.damage.find(c.message), std::string::npos);
		ExpectBounded(scan, file.size());
		std::vector<std::string> names;
		for (const ItemRecord& item : scan.items.items())
			names.push_back(item.name);
		ASSERT_GE(names.size(), c.names.size());
		EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + std::ptrdiff_t(c.names.size())), c.names);
		EXPECT_TRUE(!c.exactly || names.size() == c.names.size()) << names.size();
	}
}

TEST(DamagedArchive, SharedGroupsCannotMultiplyTheWork)
{
	// `folders` root entries all pointing at the first folder's group, whose
	// `entries` entries all point at its first sub-file, under one name each
	const auto shared = [](std::size_t folders, std::size_t entries) {
		std::vector<Folder> tree(folders, {"f", {}});
		tree[0].entries.assign(entries, {"x", StubSubFile("MDL0", 8)});
		ByteSink file{BuildBRRES(tree)};
		const Layout layout = LayoutOf(tree);
		const std::size_t group = layout.folderGroups[0];
		for (std::size_t i = 0; i < folders; ++i)
			file.patch32(Field(layout.rootGroup, i, 12), std::uint32_t(group - layout.rootGroup));
		for (std::size_t i = 0; i < entries; ++i)
			file.patch32(Field(group, i, 12), std::uint32_t(layout.subFiles[0][0] - group));
		return file.bytes;
	};
	const Bytes file = shared(2000, 2000); // read literally: four million entries
	const auto scan = ScanBytes(file);
	EXPECT_NE(scan.result.damage.find("repeats entries"), std::string::npos);
	EXPECT_LE(scan.items.items().size(), file.size() / 16 + 1);
	ExpectBounded(scan, file.size());
}

Bytes CorpusFile(const char* name)
{
	const FileBytes file = ReadWholeFile(std::string(ZENTARRA_CORPUS) + "/brres/" + name);
	EXPECT_EQ(file.status, ReadStatus::Ok) << name;
	return file.bytes;
}

TEST(DamagedArchive, EveryPrefixOfARealArchive)
{
	const Bytes full = CorpusFile("kuribo_with_txt.brres");
	ASSERT_FALSE(full.empty());
	for (std::size_t n = 0; n <= full.size(); ++n) {
		const Bytes prefix(full.begin(), full.begin() + std::ptrdiff_t(n)); // fresh, so ASan sees the end
		const auto scan = ScanBytes(prefix);
		EXPECT_EQ(scan.result.archives, n >= 4 ? 1 : 0);
		EXPECT_EQ(scan.result.damaged, n >= 4 && n < full.size()) << n;
		ExpectBounded(scan, prefix.size());
		EXPECT_TRUE(n < full.size() || scan.items.items().size() == 15u); // as the whole file lists
		EXPECT_TRUE(n < 4 || scan.items.items()[0].kind == ItemKind::Archive) << n;
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

} // namespace
} // namespace zentarra
