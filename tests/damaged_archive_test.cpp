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

// The absolute offset of entry i's name (+8) or data (+12) field in the group at `group`.
std::size_t Field(std::size_t group, std::size_t i, std::size_t field) { return group + 24 + 16 * i + field; }

// The checks every scan of a damaged file must pass: at most one item per 16
// bytes of directory, plus the archive items.
void ExpectBounded(const testing::Scan& scan, std::size_t fileSize)
{
	testing::ExpectItemsInsideFile(scan, fileSize);
	EXPECT_LE(scan.items.items().size(), fileSize / 16 + fileSize / 4 + 1);
}

TEST(DamagedArchive, DirectoryFieldsPointingAnywhereListWhatFits)
{
	const Layout layout = testing::LayoutOf(kFolders);
	const std::size_t models = layout.folderGroups[0], textures = layout.folderGroups[1];
	const std::vector<std::string> all = {"dir/test.brres", "3DModels(NW4R)", "body", "head", "Textures(NW4R)", "skin"};
	const auto patch = [](std::size_t at, std::uint32_t value) { return [=](Bytes& file) { Patch32(file, at, value); }; };
	const struct {
		std::function<void(Bytes&)> damage;
		const char* message;
		std::vector<std::string> names; // the leading ones
		bool exactly;                   // and no others
	} cases[] = {
		// a count of all ones: the real first folder still comes first, with its entries
		{patch(layout.rootGroup + 4, 0xFFFFFFFF), "4294967295", {all[0], all[1], all[2]}, false},
		// an entry outside is left out, the rest listed
		{patch(Field(models, 0, 12), 0xFFFFFFFF), "body", {all[0], all[1], all[3], all[4], all[5]}, true},
		// so is one whose magic is cut by the end
		{[&](Bytes& file) { Patch32(file, Field(textures, 0, 12), std::uint32_t(file.size() - 2 - textures)); }, "",
			{all.begin(), all.end() - 1}, true},
		// a name outside is empty, an unterminated one keeps what the file holds
		{patch(Field(models, 1, 8), 0xFFFFFF00), "outside", {all[0], all[1], all[2], ""}, false},
		{[&](Bytes& file) {
			 file.insert(file.end(), {'t', 'a', 'i', 'l'});
			 Patch32(file, Field(models, 1, 8), std::uint32_t(file.size() - 4 - models));
		 },
			"runs into the end", {all[0], all[1], all[2], "tail"}, false},
		// an entry at its own group, another at the next folder's group: walked
		// as a nested folder, then again as itself
		{[&](Bytes& file) {
			 Patch32(file, Field(models, 1, 12), 0);
			 Patch32(file, Field(models, 0, 12), std::uint32_t(textures - models));
		 },
			"loops back", {all[0], all[1]}, false},
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
		std::vector<std::string> names;
		for (const ItemRecord& item : scan.items.items())
			names.push_back(item.name);
		ASSERT_GE(names.size(), c.names.size());
		EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + std::ptrdiff_t(c.names.size())), c.names);
		EXPECT_TRUE(!c.exactly || names.size() == c.names.size()) << names.size();
	}
	// a name outside still keeps its entry's kind
	Bytes file = BuildBRRES(kFolders);
	Patch32(file, Field(models, 1, 8), 0xFFFFFF00);
	EXPECT_EQ(ScanBytes(file).items.items()[3].kind, ItemKind::MDL0);
}

TEST(DamagedArchive, BadLengthsNeverLoopOrGoBack)
{
	const Bytes good = BuildBRRES(kFolders);
	for (const std::uint32_t length : {19u, 0xFFFFFFFFu, std::uint32_t(2 * good.size() + 1)}) {
		Bytes file = good;
		Patch32(file, 8, length);
		file.insert(file.end(), good.begin(), good.end()); // a sound archive behind it
		const auto scan = ScanBytes(file);
		EXPECT_EQ(std::pair(scan.result.archives, scan.result.damaged), std::pair(2, true)) << length;
		ASSERT_EQ(scan.items.items().size(), 12u) << length;
		EXPECT_EQ(scan.items.items()[6].offset, good.size()) << length;
	}
	// the smallest sound length resumes 4 bytes on
	Bytes file = good;
	Patch32(file, 8, 20);
	EXPECT_EQ(ScanBytes(file).result.archives, 1);

	// a magic at the very end
	const auto end = ScanBytes(Bytes{0, 0, 'b', 'r', 'e', 's', 0, 0, 0, 1});
	EXPECT_EQ(std::pair(end.result.archives, end.result.damaged), std::pair(1, true));
	ASSERT_EQ(end.items.items().size(), 1u);
	EXPECT_EQ(end.items.items()[0].kind, ItemKind::Archive);
}

TEST(DamagedArchive, SharedGroupsCannotMultiplyTheWork)
{
	// `folders` root entries all pointing at the first folder's group, whose
	// `entries` entries all point at its first sub-file, under one name each
	const auto shared = [](std::size_t folders, std::size_t entries) {
		std::vector<testing::Folder> tree(folders, {"f", {}});
		tree[0].entries.assign(entries, {"x", StubSubFile("MDL0", 8)});
		Bytes file = BuildBRRES(tree);
		const Layout layout = testing::LayoutOf(tree);
		const std::size_t group = layout.folderGroups[0];
		for (std::size_t i = 0; i < folders; ++i)
			Patch32(file, Field(layout.rootGroup, i, 12), std::uint32_t(group - layout.rootGroup));
		for (std::size_t i = 0; i < entries; ++i)
			Patch32(file, Field(group, i, 12), std::uint32_t(layout.subFiles[0][0] - group));
		return file;
	};
	const Bytes file = shared(2000, 2000); // read literally: four million entries
	const auto scan = ScanBytes(file);
	EXPECT_NE(scan.result.damage.find("repeats entries"), std::string::npos);
	EXPECT_LE(scan.items.items().size(), file.size() / 16 + 1);
	testing::ExpectItemsInsideFile(scan, file.size());

	// a sound archive with shared names and data is not damaged
	const auto small = ScanBytes(shared(1, 3));
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
			// 1 to 8 bytes of the directory, where damage matters most, and now and then a cut
			for (int flips = 1 + int(random() % 8); flips > 0; --flips)
				file[random() % std::min<std::size_t>(file.size(), 0x400)] = std::uint8_t(random());
			if (random() % 4 == 0)
				file.resize(random() % file.size());
			ExpectBounded(ScanBytes(file), file.size());
		}
	}
}

} // namespace
} // namespace zentarra
