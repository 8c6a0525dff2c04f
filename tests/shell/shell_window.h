// What the Qt tests share: a scratch folder for each test function, main
// windows started on it with scripted dialogs, and the program's entry.
#pragma once

#include "shell/main_window.h"
#include "shell/startup.h"
#include "support/scene.h"

#include <QApplication>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>

namespace zentarra::shell {

namespace fs = std::filesystem;

const std::string kDemo = std::string(ZENTARRA_SOURCE_DIR) + "/samples/demo.brres";

class ShellWindows {
protected:
	// From init(): an empty folder named after the test function, a fresh script.
	void Fresh()
	{
		m_folder = fs::temp_directory_path() / ("zentarra-shell-" + std::string(QTest::currentTestFunction()));
		fs::remove_all(m_folder);
		fs::create_directories(m_folder);
		m_dialogs = {};
	}
	fs::path settingsPath() const { return m_folder / "zentarra.ini"; }
	std::unique_ptr<MainWindow> Open(const StartOptions& options = {})
	{
		auto window = std::make_unique<MainWindow>(m_dialogs);
		window->Start(settingsPath(), options);
		if (!QTest::qWaitForWindowExposed(window.get()))
			qWarning("window not exposed");
		return window;
	}
	static QTreeWidgetItem* FileNode(MainWindow& window, const char* name, ItemKind kind)
	{
		return window.filesNode(window.viewer().FindEntry(name, kind));
	}
	// A double-click on an entry of the files panel.
	static void Activate(MainWindow& window, const char* name, ItemKind kind)
	{
		emit window.filesPanel()->tree()->itemDoubleClicked(FileNode(window, name, kind), 0);
	}

	fs::path m_folder;
	testing::ScriptedDialogs m_dialogs;
};

template <typename Test>
int RunShellTests(int argc, char** argv)
{
	QSurfaceFormat::setDefaultFormat(ViewFormat());
	QApplication app(argc, argv);
	Test test;
	return QTest::qExec(&test, argc, argv);
}

} // namespace zentarra::shell
