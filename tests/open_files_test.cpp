// Opening files into the list of open archives' items.
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
