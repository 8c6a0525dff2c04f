#include "archive/open_files.h"

#include "base/file_io.h"
#include "support/brres_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zentarra {
namespace {

namespace fs = std::filesystem;

class OpenFiles : public ::testing::Test {
protected:
	void SetUp() override
	{
		dir = fs::temp_directory_path() / ("zentarra-open-" + std::to_string(::getpid()));
		fs::create_directories(dir);
	}
	void TearDown() override { fs::remove_all(dir); }

	std::string Write(const std::string& name, const testing::Bytes& bytes)
	{
		const fs::path path = dir / name;
		EXPECT_TRUE(WriteFileAtomically(path, bytes));
		return path.string();
	}

	fs::path dir;
};

TEST_F(OpenFiles, ValidArchiveOpensWithoutMessage)
{
	const std::string path = Write("a.brres", testing::BuildBRRES({{"F", {{"e", testing::StubSubFile("TEX0")}}}}));
	OpenArchives items;
	const OpenResult result = OpenArchiveFile(path, items, nullptr);
	EXPECT_EQ(result.status, OpenStatus::Opened);
	EXPECT_FALSE(result.message);
	EXPECT_EQ(items.items().size(), 3u);
	EXPECT_EQ(items.items()[0].path, path);
}

TEST_F(OpenFiles, FailuresCarryTheirMessagesAndChangeNothing)
{
	OpenArchives items;
	items.CreateItem("x", "x", 0, ItemKind::Archive, 0);

	const OpenResult missing = OpenArchiveFile((dir / "missing.brres").string(), items, nullptr);
	EXPECT_EQ(missing.status, OpenStatus::CannotOpen);
	ASSERT_TRUE(missing.message);
	EXPECT_EQ(missing.message->text, "Error: can't open file");
	EXPECT_EQ(missing.message->icon, MessageIcon::Error);

	const OpenResult directory = OpenArchiveFile(dir.string(), items, nullptr);
	EXPECT_EQ(directory.status, OpenStatus::CannotOpen);
	EXPECT_EQ(directory.message->text, "Error: can't open file");

	const OpenResult empty = OpenArchiveFile(Write("empty.brres", {}), items, nullptr);
	EXPECT_EQ(empty.status, OpenStatus::NotBrres);
	EXPECT_EQ(empty.message->text, "Error: not a valid BRRES file");

	EXPECT_EQ(items.items().size(), 1u);
	EXPECT_EQ(items.nextId(), 1);
}

TEST_F(OpenFiles, DamagedArchiveOpensWithAWarning)
{
	testing::Bytes bytes = testing::BuildBRRES({{"F", {{"e", testing::StubSubFile("TEX0")}}}});
	bytes.resize(bytes.size() / 2);
	OpenArchives items;
	const OpenResult result = OpenArchiveFile(Write("cut.brres", bytes), items, nullptr);
	EXPECT_EQ(result.status, OpenStatus::Opened);
	EXPECT_TRUE(result.scan.damaged);
	ASSERT_TRUE(result.message);
	EXPECT_EQ(result.message->icon, MessageIcon::Warning);
	EXPECT_NE(result.message->text.find(result.scan.damage), std::string::npos);
}

TEST(MessageForOpenedFiles, OneReportForSeveralFiles)
{
	EXPECT_FALSE(MessageForOpenedFiles(0, 3));
	EXPECT_EQ(MessageForOpenedFiles(1, 3)->text, "Warning: one of the selected files is not a valid BRRES file");
	EXPECT_EQ(MessageForOpenedFiles(1, 3)->icon, MessageIcon::Warning);
	EXPECT_EQ(MessageForOpenedFiles(2, 3)->text, "Warning: some of the selected files are not valid BRRES files");
	EXPECT_EQ(MessageForOpenedFiles(2, 2)->text, "Error: none of the selected files are valid BRRES files");
	EXPECT_EQ(MessageForOpenedFiles(2, 2)->icon, MessageIcon::Error);
	EXPECT_EQ(MessageForOpenedFiles(1, 2)->text, "Warning: one of the selected files is not a valid BRRES file");
	EXPECT_EQ(MessageForOpenedFiles(1, 1)->text, "Error: not a valid BRRES file");
}

TEST(ArchivePathFromCommandLine, QuotesAreDropped)
{
	EXPECT_EQ(ArchivePathFromCommandLine("\"C:\\My Games\\a.brres\""), "C:\\My Games\\a.brres");
	EXPECT_EQ(ArchivePathFromCommandLine("plain.brres"), "plain.brres");
	EXPECT_EQ(ArchivePathFromCommandLine("\""), "");
	EXPECT_EQ(ArchivePathFromCommandLine(""), "");
}

TEST_F(OpenFiles, AtomicWriteReplacesWholeAndLeavesNoTemporary)
{
	const std::string path = Write("out.bin", {1, 2, 3});
	EXPECT_TRUE(WriteFileAtomically(path, testing::Bytes{4, 5}));
	EXPECT_EQ(ReadWholeFile(path).bytes, (testing::Bytes{4, 5}));
	EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
	EXPECT_FALSE(WriteFileAtomically(dir / "no-such-dir" / "x", testing::Bytes{1}));
}

} // namespace
} // namespace zentarra
