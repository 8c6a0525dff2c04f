// A Viewer with scripted dialogs and a scratch folder for archives and
// exported files, for tests of the viewer's commands.
#pragma once

#include "../export/cli_run.h"
#include "base/file_io.h"
#include "support/scene.h"
#include "view/viewer.h"

namespace zentarra::testing {

class ViewerFixture : public ::testing::Test {
protected:
	std::string Path(const std::string& name) const { return (folder / name).string(); }
	std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes)
	{
		EXPECT_TRUE(WriteFileAtomically(Path(name), bytes));
		return Path(name);
	}
	// Writes the archive and opens it as the open dialog does.
	void Open(const std::string& name, const std::vector<std::uint8_t>& bytes) { viewer.OpenFiles({Write(name, bytes)}); }
	int Entry(const char* name, ItemKind kind) { return viewer.FindEntry(name, kind); }
	// A command of an entry's context menu, as the files panel runs it.
	Refresh OnEntry(int entry, int command)
	{
		viewer.FilesContextMenu(entry);
		return viewer.Command(command);
	}
	const ViewerState& state() const { return viewer.state(); }

	TempDir dir;
	const std::filesystem::path& folder = dir.path;
	ScriptedDialogs front;
	Viewer viewer{front};
};

} // namespace zentarra::testing
