// A Viewer with scripted dialogs and a scratch folder for archives and
// exported files, for tests of the viewer's commands.
#pragma once

#include "base/file_io.h"
#include "support/scene.h"
#include "view/viewer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace zentarra::testing {

class ViewerFixture : public ::testing::Test {
protected:
	void SetUp() override
	{
		folder = std::filesystem::temp_directory_path() /
			("zentarra-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name()) +
				"-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
		std::filesystem::remove_all(folder);
		std::filesystem::create_directories(folder);
	}
	void TearDown() override { std::filesystem::remove_all(folder); }

	std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes)
	{
		const std::string path = (folder / name).string();
		EXPECT_TRUE(WriteFileAtomically(path, bytes));
		return path;
	}
	// Writes the archive and opens it as the open dialog does.
	void Open(const std::string& name, const std::vector<std::uint8_t>& bytes)
	{
		viewer.OpenFiles({Write(name, bytes)});
	}
	int Entry(const char* name, ItemKind kind) { return viewer.FindEntry(name, kind); }
	// A command of an entry's context menu, as the files panel runs it.
	Refresh OnEntry(const char* name, ItemKind kind, int command)
	{
		viewer.FilesContextMenu(Entry(name, kind));
		return viewer.Command(command);
	}
	const ViewerState& state() const { return viewer.state(); }

	std::filesystem::path folder;
	ScriptedDialogs front;
	Viewer viewer{front};
};

} // namespace zentarra::testing
