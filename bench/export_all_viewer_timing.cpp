// Seconds the viewer's File > Export All Files... takes over a folder of
// archives, with its progress dialog shown, run under a display (Xvfb):
//   zentarra-export-all-timing FOLDER [TEXTURES MODELS ANIMATIONS]
// The folder's archives are opened, the dialog is confirmed with its
// initial choices or the list indices given (textures 0-3, models 0-3,
// animations 0-1), and the time from OK to the summary is printed. Compare
// with `time zentarra-cli export-all FOLDER/*.brres` on a fresh copy.
#include "shell/export_all_dialog.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "support/scene.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>

int main(int argc, char** argv)
{
	using namespace zentarra;
	if (argc != 2 && argc != 5) {
		std::cerr << "usage: zentarra-export-all-timing FOLDER [TEXTURES MODELS ANIMATIONS]\n";
		return 2;
	}
	QSurfaceFormat::setDefaultFormat(shell::ViewFormat());
	QApplication app(argc, argv);
	std::vector<std::string> archives;
	for (const auto& entry : std::filesystem::directory_iterator(argv[1]))
		if (entry.path().extension() == ".brres")
			archives.push_back(entry.path().string());
	std::sort(archives.begin(), archives.end());

	testing::ScriptedDialogs dialogs;
	shell::MainWindow window(dialogs);
	window.Start(std::filesystem::temp_directory_path() / "zentarra-export-all-timing.ini", {});
	window.Sync(window.viewer().OpenFiles(archives));
	std::chrono::steady_clock::time_point start;
	QTimer::singleShot(200, [&] {
		auto* dialog = qobject_cast<shell::ExportAllDialog*>(QApplication::activeModalWidget());
		if (!dialog) {
			std::cerr << "no Export All dialog\n";
			std::exit(1);
		}
		for (int i = 0; argc == 5 && i < 3; ++i)
			dialog->list(i)->setCurrentIndex(std::atoi(argv[2 + i]));
		start = std::chrono::steady_clock::now();
		dialog->findChild<QPushButton*>("ok")->click();
	});
	window.runCommand(kCmdExportAll);
	const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
	std::cout << archives.size() << " archives, " << seconds << " s\n" << dialogs.LastText() << '\n';
	return 0;
}
