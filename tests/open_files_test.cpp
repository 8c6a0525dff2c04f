#include "archive/open_files.h"

#include "base/file_io.h"
#include "export/cli_run.h"
#include "support/brres_writer.h"

#include <gtest/gtest.h>

namespace zentarra {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

TEST(OpenFiles, ArchivesOpenDamagedOnesWithAWarningFailuresChangeNothing)
{
	testing::TempDir dir;
	const Bytes archive = testing::BuildBRRES({{"F", {{"e", testing::StubSubFile("TEX0")}}}});
	const Bytes cut(archive.begin(), archive.begin() + std::ptrdiff_t(archive.size() / 2)), none;
	const struct {
		const char* name;
		const Bytes* bytes; // none: not written
		OpenStatus status;
		std::string message; // empty: none; else a part of it
		MessageIcon icon;
		std::size_t items; // added
	} cases[] = {
		{"a.brres", &archive, OpenStatus::Opened, "", MessageIcon::Error, 3},
		{"cut.brres", &cut, OpenStatus::Opened, "damaged", MessageIcon::Warning, 2},
		{"missing.brres", nullptr, OpenStatus::CannotOpen, std::string(kCantOpenFile), MessageIcon::Error, 0},
		{"", nullptr, OpenStatus::CannotOpen, std::string(kCantOpenFile), MessageIcon::Error, 0}, // the directory
		{"empty.brres", &none, OpenStatus::NotBrres, std::string(kNotValidBrres), MessageIcon::Error, 0},
	};
	for (const auto& c : cases) {
		const fs::path path = dir.path / c.name;
		EXPECT_TRUE(!c.bytes || WriteFileAtomically(path, *c.bytes));
		OpenArchives items;
		items.CreateItem("x", "x", 0, ItemKind::Archive, 0);
		const OpenResult result = OpenArchiveFile(path.string(), items, nullptr);
		EXPECT_EQ(result.status, c.status) << c.name;
		EXPECT_EQ(items.items().size(), 1 + c.items) << c.name;
		ASSERT_EQ(result.message.has_value(), !c.message.empty()) << c.name;
		if (!result.message)
			continue;
		EXPECT_EQ(result.message->icon, c.icon) << c.name;
		EXPECT_NE(result.message->text.find(c.message), std::string::npos) << result.message->text;
		EXPECT_NE(result.message->text.find(result.scan.damage), std::string::npos) << result.message->text;
	}
}

TEST(OpenFiles, OneReportForSeveralFilesAndQuotesDropped)
{
	EXPECT_FALSE(MessageForOpenedFiles(0, 3));
	const struct {
		int failures, files;
		std::string_view text;
		MessageIcon icon;
	} cases[] = {
		{1, 3, kOneSelectedInvalid, MessageIcon::Warning},
		{2, 3, kSomeSelectedInvalid, MessageIcon::Warning},
		{1, 2, kOneSelectedInvalid, MessageIcon::Warning},
		{2, 2, kNoneSelectedValid, MessageIcon::Error},
		{1, 1, kNotValidBrres, MessageIcon::Error},
	};
	for (const auto& c : cases) {
		const std::optional<UserMessage> message = MessageForOpenedFiles(c.failures, c.files);
		ASSERT_TRUE(message);
		EXPECT_EQ(message->text, c.text);
		EXPECT_EQ(message->icon, c.icon);
	}
	EXPECT_EQ(ArchivePathFromCommandLine("\"C:\\My Games\\a.brres\""), "C:\\My Games\\a.brres");
	EXPECT_EQ(ArchivePathFromCommandLine("plain.brres"), "plain.brres");
	EXPECT_EQ(ArchivePathFromCommandLine("\""), "");
	EXPECT_EQ(ArchivePathFromCommandLine(""), "");
}

TEST(OpenFiles, AtomicWriteReplacesWholeAndLeavesNoTemporary)
{
	testing::TempDir dir;
	const fs::path path = dir.path / "out.bin";
	ASSERT_TRUE(WriteFileAtomically(path, Bytes{1, 2, 3}));
	EXPECT_TRUE(WriteFileAtomically(path, Bytes{4, 5}));
	EXPECT_EQ(ReadWholeFile(path).bytes, (Bytes{4, 5}));
	EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
	EXPECT_FALSE(WriteFileAtomically(dir.path / "no-such-dir" / "x", Bytes{1}));
}

} // namespace
} // namespace zentarra
