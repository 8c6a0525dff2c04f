// Archives that are cut short, point outside themselves or repeat themselves:
// the scan must end, stay inside the file, allocate in proportion to the file,
// list what it can and say that the file is damaged.
#include "archive/brres_directory.h"

#include "base/file_io.h"
#include "support/brres_writer.h"
#include "support/scan_helpers.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace zentarra {
namespace {

using testing::Bytes;
using testing::BuildBRRES;
using testing::Layout;
using testing::ScanBytes;
using testing::StubSubFile;

const std::vector<testing::Folder> kFolders = {
	{"3DModels(NW4R)", {{"body", StubSubFile("MDL0")}, {"head", StubSubFile("MDL0")}}},
	{"Textures(NW4R)", {{"skin", StubSubFile("TEX0")}}},
};

void Patch32(Bytes& bytes, std::size_t at, std::uint32_t value)
{
	testing::ByteSink sink{std::move(bytes)};
	sink.patch32(at, value);
	bytes = std::move(sink.bytes);
}

// The absolute offset of entry i's name and data fields in the group at `group`.
std::size_t NameField(std::size_t group, std::size_t i) { return group + 24 + 16 * i + 8; }
std::size_t DataField(std::size_t group, std::size_t i) { return group + 24 + 16 * i + 12; }

// A bound on items for a file of that size: one per 16 bytes of directory,
// plus the archive items.
std::size_t ItemBound(std::size_t size) { return size / 16 + size / 4 + 1; }

// The checks every scan of a damaged file must pass.
void ExpectBounded(const testing::Scan& scan, std::size_t fileSize)
{
	testing::ExpectItemsInsideFile(scan, fileSize);
	EXPECT_LE(scan.items.items().size(), ItemBound(fileSize));
}

std::vector<std::string> Names(const testing::Scan& scan)
{
	std::vector<std::string> names;
	for (const ItemRecord& item : scan.items.items())
		names.push_back(item.name);
	return names;
}

TEST(DamagedArchive, DirectoryFieldsPointingAnywhereListWhatFits)
{
	const Layout layout = testing::LayoutOf(kFolders);
	const std::size_t models = layout.folderGroups[0], textures = layout.folderGroups[1];
	const std::vector<std::string> whole = {"dir/test.brres", "3DModels(NW4R)", "body", "head", "Textures(NW4R)", "skin"};
	const auto patch = [](std::size_t at, std::uint32_t value) {
		return [=](Bytes& file) { Patch32(file, at, value); };
	};
	const struct {
		std::function<void(Bytes&)> damage;
		const char* message;
		std::vector<std::string> names; // the leading ones
		bool exactly;                   // and no others
	} cases[] = {
		// a count of all ones: the real first folder still comes first, with its entries
		{patch(layout.rootGroup + 4, 0xFFFFFFFF), "4294967295", {whole[0], whole[1], whole[2]}, false},
		{patch(models + 4, 0xFFFFFFFF), "4294967295", {whole[0], whole[1], whole[2]}, false},
		// an entry outside is left out, the rest listed
		{patch(DataField(models, 0), 0x7FFFFFF0), "body", {whole[0], whole[1], whole[3], whole[4], whole[5]}, true},
		{patch(DataField(models, 0), 0xFFFFFFFF), "body", {whole[0], whole[1], whole[3], whole[4], whole[5]}, true},
		// so is one whose magic is cut by the end
		{[&](Bytes& file) { Patch32(file, DataField(textures, 0), std::uint32_t(file.size() - 2 - textures)); }, "",
			{whole.begin(), whole.end() - 1}, true},
		// a name outside is empty, an unterminated one keeps what the file holds
		{patch(NameField(models, 1), 0xFFFFFF00), "", {whole[0], whole[1], whole[2], ""}, false},
		{[&](Bytes& file) {
			 file.insert(file.end(), {'t', 'a', 'i', 'l'});
			 Patch32(file, NameField(models, 1), std::uint32_t(file.size() - 4 - models));
		 },
			"", {whole[0], whole[1], whole[2], "tail"}, false},
		// an entry at its own group, another at the next folder's group: walked
		// as a nested folder, then again as itself
		{[&](Bytes& file) {
			 Patch32(file, DataField(models, 1), 0);
			 Patch32(file, DataField(models, 0), std::uint32_t(textures - models));
		 },
			"loops back", {whole[0], whole[1]}, false},
	};
	for (const auto& c : cases) {
		Bytes file = BuildBRRES(kFolders);
		c.damage(file);
		const auto scan = ScanBytes(file);
		SCOPED_TRACE(scan.result.damage);
		EXPECT_EQ(scan.result.archives, 1);
		EXPECT_TRUE(scan.result.damaged);
		EXPECT_NE(scan.result.damage.find(c.message), std::string::npos);
		ExpectBounded(scan, file.size());
		const std::vector<std::string> names = Names(scan);
		ASSERT_GE(names.size(), c.names.size());
		EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + std::ptrdiff_t(c.names.size())), c.names);
		EXPECT_TRUE(!c.exactly || names.size() == c.names.size()) << names.size();
	}
	// a name outside still keeps its entry's kind
	Bytes file = BuildBRRES(kFolders);
	Patch32(file, NameField(models, 1), 0xFFFFFF00);
	EXPECT_EQ(ScanBytes(file).items.items()[3].kind, ItemKind::MDL0);
}

TEST(DamagedArchive, BadLengthsNeverLoopOrGoBack)
{
	const Bytes good = BuildBRRES(kFolders);
	for (const std::uint32_t length : {0u, 4u, 16u, 19u, 0x7FFFFFFFu, 0xFFFFFFFFu, std::uint32_t(2 * good.size() + 1)}) {
		Bytes file = good;
		Patch32(file, 8, length);
		file.insert(file.end(), good.begin(), good.end()); // a sound archive behind it
		const auto scan = ScanBytes(file);
		EXPECT_EQ(scan.result.archives, 2) << length;
		EXPECT_TRUE(scan.result.damaged) << length;
		EXPECT_EQ(scan.items.items().size(), 12u) << length;
		EXPECT_EQ(scan.items.items()[6].offset, good.size()) << length;
	}
	// the smallest sound length resumes 4 bytes on
	Bytes file = good;
	Patch32(file, 8, 20);
	EXPECT_EQ(ScanBytes(file).result.archives, 1);

	// a magic at the very end
	for (const Bytes& end : {Bytes{'b', 'r', 'e', 's'}, Bytes{0, 0, 'b', 'r', 'e', 's', 0, 0, 0, 1}}) {
		const auto scan = ScanBytes(end);
		EXPECT_EQ(scan.result.archives, 1);
		EXPECT_TRUE(scan.result.damaged);
		ASSERT_EQ(scan.items.items().size(), 1u);
		EXPECT_EQ(scan.items.items()[0].kind, ItemKind::Archive);
	}
}

// `folders` root entries all pointing at the first folder's group, whose
// `entries` entries all point at its first sub-file, under one name each.
Bytes SharedGroups(std::size_t folders, std::size_t entries)
{
	std::vector<testing::Folder> tree(folders, {"f", {}});
	tree[0].entries.assign(entries, {"x", StubSubFile("MDL0", 8)});
	Bytes file = BuildBRRES(tree);
	const Layout layout = testing::LayoutOf(tree);
	for (std::size_t i = 0; i < folders; ++i)
		Patch32(file, DataField(layout.rootGroup, i), std::uint32_t(layout.folderGroups[0] - layout.rootGroup));
	for (std::size_t i = 0; i < entries; ++i)
		Patch32(file, DataField(layout.folderGroups[0], i), std::uint32_t(layout.subFiles[0][0] - layout.folderGroups[0]));
	return file;
}

TEST(DamagedArchive, SharedGroupsCannotMultiplyTheWork)
{
	const Bytes file = SharedGroups(2000, 2000); // read literally: four million entries
	const auto scan = ScanBytes(file);
	EXPECT_TRUE(scan.result.damaged);
	EXPECT_LE(scan.items.items().size(), file.size() / 16 + 1);
	testing::ExpectItemsInsideFile(scan, file.size());

	// a sound archive with shared names and data is not damaged
	const auto small = ScanBytes(SharedGroups(1, 3));
	EXPECT_FALSE(small.result.damaged) << small.result.damage;
	EXPECT_EQ(small.items.items().size(), 5u);
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
	}
}

TEST(DamagedArchive, RandomlyCorruptedRealArchives)
{
	std::mt19937 random(20261206);
	for (const char* name : {"kuribo_with_txt.brres", "cow.brres", "FlagB2.brres"}) {
		const Bytes original = CorpusFile(name);
		ASSERT_FALSE(original.empty());
		for (int round = 0; round < 300; ++round) {
			Bytes file = original;
			// corrupt the directory, where damage matters most
			const std::size_t span = std::min<std::size_t>(file.size(), 0x400);
			const int flips = 1 + int(random() % 8);
			for (int i = 0; i < flips; ++i)
				file[random() % span] = std::uint8_t(random());
			if (random() % 4 == 0)
				file.resize(random() % file.size());
			ExpectBounded(ScanBytes(file), file.size());
		}
	}
}

} // namespace
} // namespace zentarra
