// zentarra: the desktop viewer.
#include "shell/qt_dialogs.h"
#include "shell/startup.h"
#include "view/settings_file.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv)
{
	using namespace zentarra;
	std::vector<std::string> arguments(argv + 1, argv + argc);
	const shell::CommandLine line = shell::ParseCommandLine(arguments);
	if (!line.error.empty()) {
		std::cerr << "zentarra: " << line.error << '\n' << shell::UsageText();
		return 2;
	}
	if (line.version) {
		std::cout << kProgramVersion << '\n';
		return 0;
	}
	if (line.help) {
		std::cout << shell::UsageText();
		return 0;
	}
	const char* display = std::getenv("DISPLAY");
	const char* wayland = std::getenv("WAYLAND_DISPLAY");
	const char* platform = std::getenv("QT_QPA_PLATFORM");
	if ((!display || !*display) && (!wayland || !*wayland) && (!platform || !*platform)) {
		std::cerr << "Window Creation Error. (no display: neither DISPLAY nor WAYLAND_DISPLAY is set)\n";
		return 1;
	}

	QSurfaceFormat::setDefaultFormat(shell::ViewFormat());
	QApplication app(argc, argv);
	app.setApplicationName("Zentarra");
	if (const std::string failed = shell::ProbeOpenGL(); !failed.empty()) {
		QMessageBox(QMessageBox::Warning, "ERROR", QString::fromStdString(failed)).exec();
		return 1;
	}

	shell::MainWindow* window = nullptr;
	shell::QtDialogs dialogs([&window](MessageOwner owner) { return window ? window->ownerOf(owner) : nullptr; });
	shell::MainWindow main(dialogs);
	window = &main;
	QObject::connect(&main, &shell::MainWindow::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
	const std::filesystem::path settings = line.settings.empty() ? DefaultSettingsPath() : line.settings;
	main.Start(settings, line.start);
	return app.exec();
}
