// Archives that are cut short, point outside themselves or repeat themselves:
// the scan must end, stay inside the file, allocate in proportion to the file,
// list what it can and say that the file is damaged.
#include "archive/brres_directory.h"

#include "base/file_io.h"
#include "support/brres_writer.h"
#include "support/scan_helpers.h"

#include <gtest/gtest.h>

#include <random>

namespace zentarra {
namespace {

using testing::Bytes;
using testing::BuildBRRES;
using testing::ByteSink;
using testing::Folder;
using testing::ScanBytes;
using testing::StubSubFile;

const std::vector<Folder> kFolders = {
	{"3DModels(NW4R)", {{"body", StubSubFile("MDL0")}, {"head", StubSubFile("MDL0")}}},
	{"Textures(NW4R)", {{"skin", StubSubFile("TEX0")}}},
};

void Patch32(Bytes& bytes, std::size_t at, std::uint32_t value)
{
	ByteSink sink{bytes};
	sink.patch32(at, value);
	bytes = sink.bytes;
}

// The absolute offset of entry i's name and data fields in the group at `group`.
std::size_t NameField(std::size_t group, std::size_t i) { return group + 24 + 16 * i + 8; }
std::size_t DataField(std::size_t group, std::size_t i) { return group + 24 + 16 * i + 12; }

// A bound on items for a file of that size: one per 16 bytes of directory,
// plus the archive items.
std::size_t ItemBound(std::size_t size) { return size / 16 + size / 4 + 1; }

TEST(DamagedArchive, FolderCountOfAllOnesListsWhatFits)
{
	const auto layout = testing::LayoutOf(kFolders);
	for (const std::size_t group : {layout.rootGroup, layout.folderGroups[0]}) {
		Bytes file = BuildBRRES(kFolders);
		Patch32(file, group + 4, 0xFFFFFFFF);
		const auto scan = ScanBytes(file);
		EXPECT_EQ(scan.result.archives, 1);
		EXPECT_TRUE(scan.result.damaged);
		EXPECT_NE(scan.result.damage.find("4294967295"), std::string::npos) << scan.result.damage;
		EXPECT_LE(scan.items.items().size(), ItemBound(file.size()));
		testing::ExpectItemsInsideFile(scan, file.size());
		// the real first folder still comes first, with its entries
		ASSERT_GE(scan.items.items().size(), 4u);
		EXPECT_EQ(scan.items.items()[1].name, "3DModels(NW4R)");
		EXPECT_EQ(scan.items.items()[2].name, "body");
	}
}

TEST(DamagedArchive, EntryPointingOutsideIsLeftOutTheRestListed)
{
	const auto layout = testing::LayoutOf(kFolders);
	for (const std::uint32_t data : {0x7FFFFFF0u, 0xFFFFFFFFu}) {
		Bytes file = BuildBRRES(kFolders);
		Patch32(file, DataField(layout.folderGroups[0], 0), data);
		const auto scan = ScanBytes(file);
		EXPECT_TRUE(scan.result.damaged);
		EXPECT_NE(scan.result.damage.find("body"), std::string::npos) << scan.result.damage;
		std::vector<std::string> names;
		for (const auto& item : scan.items.items())
			names.push_back(item.name);
		EXPECT_EQ(names, (std::vector<std::string>{"dir/test.brres", "3DModels(NW4R)", "head", "Textures(NW4R)", "skin"}));
		testing::ExpectItemsInsideFile(scan, file.size());
	}
}

TEST(DamagedArchive, EntryWhoseMagicIsCutByTheEndIsLeftOut)
{
	Bytes file = BuildBRRES(kFolders);
	const auto layout = testing::LayoutOf(kFolders);
	Patch32(file, DataField(layout.folderGroups[1], 0), std::uint32_t(file.size() - 2 - layout.folderGroups[1]));
	const auto scan = ScanBytes(file);
	EXPECT_TRUE(scan.result.damaged);
	EXPECT_EQ(scan.items.items().size(), 5u);
	testing::ExpectItemsInsideFile(scan, file.size());
}

TEST(DamagedArchive, NamesOutsideOrUnterminated)
{
	const auto layout = testing::LayoutOf(kFolders);
	Bytes outside = BuildBRRES(kFolders);
	Patch32(outside, NameField(layout.folderGroups[0], 1), 0xFFFFFF00);
	const auto a = ScanBytes(outside);
	EXPECT_TRUE(a.result.damaged);
	EXPECT_EQ(a.items.items()[3].name, "");
	EXPECT_EQ(a.items.items()[3].kind, ItemKind::MDL0);

	Bytes unterminated = BuildBRRES(kFolders);
	unterminated.insert(unterminated.end(), {'t', 'a', 'i', 'l'});
	Patch32(unterminated, NameField(layout.folderGroups[0], 1),
		std::uint32_t(unterminated.size() - 4 - layout.folderGroups[0]));
	const auto b = ScanBytes(unterminated);
	EXPECT_TRUE(b.result.damaged);
	EXPECT_EQ(b.items.items()[3].name, "tail");
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
}

TEST(DamagedArchive, MagicAtTheVeryEnd)
{
	for (const Bytes& file : {Bytes{'b', 'r', 'e', 's'}, Bytes{0, 0, 'b', 'r', 'e', 's', 0, 0, 0, 1}}) {
		const auto scan = ScanBytes(file);
		EXPECT_EQ(scan.result.archives, 1);
		EXPECT_TRUE(scan.result.damaged);
		ASSERT_EQ(scan.items.items().size(), 1u);
		EXPECT_EQ(scan.items.items()[0].kind, ItemKind::Archive);
	}
}

// Root group with `folders` entries that all point at one folder group of
// `entries` entries, each naming the same sub-file.
Bytes SharedGroups(std::uint32_t folders, std::uint32_t entries)
{
	ByteSink out;
	out.text("bres");
	out.be32(0xFEFF0000);
	out.be32(0); // length, patched
	out.be32(0x00100001);
	out.text("root");
	out.be32(0);
	const std::size_t root = out.size();
	const std::size_t group = root + 24 + 16 * std::size_t(folders);
	const std::size_t subFile = group + 24 + 16 * std::size_t(entries);
	const std::size_t name = subFile + 8;
	const auto header = [&](std::uint32_t count) {
		out.be32(24 + 16 * count);
		out.be32(count);
		out.be32(0xFFFF0000);
		out.be32(0);
		out.be32(0);
		out.be32(0);
	};
	header(folders);
	for (std::uint32_t i = 0; i < folders; ++i) {
		out.be32(0);
		out.be32(0);
		out.be32(std::uint32_t(name - root));
		out.be32(std::uint32_t(group - root));
	}
	header(entries);
	for (std::uint32_t i = 0; i < entries; ++i) {
		out.be32(0);
		out.be32(0);
		out.be32(std::uint32_t(name - group));
		out.be32(std::uint32_t(subFile - group));
	}
	out.text("MDL0");
	out.be32(0);
	out.text("x");
	out.u8(0);
	out.alignTo(32);
	out.patch32(8, std::uint32_t(out.size()));
	return out.bytes;
}

TEST(DamagedArchive, SharedGroupsCannotMultiplyTheWork)
{
	const Bytes file = SharedGroups(2000, 2000); // read literally: four million entries
	const auto scan = ScanBytes(file);
	EXPECT_TRUE(scan.result.damaged);
	EXPECT_LE(scan.items.items().size(), file.size() / 16 + 1);
	testing::ExpectItemsInsideFile(scan, file.size());

	// a sound archive with shared names is not damaged
	const auto small = ScanBytes(SharedGroups(1, 3));
	EXPECT_FALSE(small.result.damaged) << small.result.damage;
	EXPECT_EQ(small.items.items().size(), 5u);
}

TEST(DamagedArchive, FolderLoopingBackIntoItselfEnds)
{
	Bytes file = BuildBRRES(kFolders);
	const auto layout = testing::LayoutOf(kFolders);
	Patch32(file, DataField(layout.folderGroups[0], 1), 0); // entry points at its own group
	// and another at the next folder's group: walked as a nested folder, then again as itself
	Patch32(file, DataField(layout.folderGroups[0], 0), std::uint32_t(layout.folderGroups[1] - layout.folderGroups[0]));
	const auto scan = ScanBytes(file);
	EXPECT_TRUE(scan.result.damaged);
	EXPECT_NE(scan.result.damage.find("loops back"), std::string::npos) << scan.result.damage;
	testing::ExpectItemsInsideFile(scan, file.size());
	EXPECT_LE(scan.items.items().size(), ItemBound(file.size()));
}

TEST(DamagedArchive, EveryPrefixOfASyntheticArchive)
{
	const Bytes full = BuildBRRES(kFolders);
	for (std::size_t n = 0; n <= full.size(); ++n) {
		const Bytes prefix(full.begin(), full.begin() + std::ptrdiff_t(n));
		const auto scan = ScanBytes(prefix);
		EXPECT_EQ(scan.result.archives, n >= 4 ? 1 : 0);
		EXPECT_EQ(scan.result.damaged, n >= 4 && n < full.size()) << n;
		testing::ExpectItemsInsideFile(scan, prefix.size());
	}
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
	std::size_t lastCount = 0;
	for (std::size_t n = 0; n <= full.size(); ++n) {
		const Bytes prefix(full.begin(), full.begin() + std::ptrdiff_t(n));
		const auto scan = ScanBytes(prefix);
		testing::ExpectItemsInsideFile(scan, prefix.size());
		lastCount = scan.items.items().size();
	}
	EXPECT_EQ(lastCount, 15u); // as the whole file lists
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
			const auto scan = ScanBytes(file);
			testing::ExpectItemsInsideFile(scan, file.size());
			EXPECT_LE(scan.items.items().size(), ItemBound(file.size()));
		}
	}
}

} // namespace
} // namespace zentarra
