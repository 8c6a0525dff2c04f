// The Qt viewer's wiring under a real X server (Xvfb): the menus built from
// the table, keys, mouse, drops and panels reaching the viewer, the windows'
// places kept in the settings, the background dialog and a screenshot.
#include "base/file_io.h"
#include "shell/background_dialog.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "support/scene.h"
#include "../export/png_read.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>

namespace zentarra::shell {

namespace fs = std::filesystem;

const std::string kDemo = std::string(ZENTARRA_SOURCE_DIR) + "/samples/demo.brres";

class ShellTest : public QObject {
	Q_OBJECT

	fs::path m_folder;
	testing::ScriptedDialogs m_dialogs;

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
	static QTreeWidgetItem* ModelNode(MainWindow& window, std::uint32_t param)
	{
		for (QTreeWidgetItemIterator it(window.modelPanel()->tree()); *it; ++it)
			if (ParamOf(*it) == param)
				return *it;
		return nullptr;
	}
	static bool Enabled(QMenu* menu) { return menu->menuAction()->isEnabled(); }

private slots:
	void init()
	{
		m_folder = fs::temp_directory_path() / ("zentarra-shell-" + std::string(QTest::currentTestFunction()));
		fs::remove_all(m_folder);
		fs::create_directories(m_folder);
		m_dialogs = {};
	}
	void cleanup() { fs::remove_all(m_folder); }

	void menusFollowTheTableAndTheState()
	{
		auto window = Open();
		std::function<void(QMenu*, const std::vector<MenuEntry>&)> compare = [&](QMenu* menu,
																				  const std::vector<MenuEntry>& entries) {
			const QList<QAction*> actions = menu->actions();
			QCOMPARE(actions.size(), qsizetype(entries.size()));
			for (std::size_t i = 0; i < entries.size(); ++i) {
				QAction* action = actions[qsizetype(i)];
				QCOMPARE(action->isSeparator(), entries[i].kind == MenuEntry::Kind::Separator);
				QCOMPARE(action->text().toStdString(), entries[i].label);
				if (entries[i].kind == MenuEntry::Kind::Submenu)
					compare(action->menu(), entries[i].entries);
				else if (entries[i].kind == MenuEntry::Kind::Item)
					QCOMPARE(action->data().toInt(), entries[i].id);
			}
		};
		for (int top = 0; top < 5; ++top)
			compare(window->topMenu(top), MainMenu()[std::size_t(top)].entries);
		QCOMPARE(window->action(kCmdAbout)->text(), QString("A&bout..."));
		QCOMPARE(window->action(kCmdFaces)->shortcut(), QKeySequence()); // the view handles F2
		for (int id : {kCmdFaces, kCmdCullAuto, kCmdChannelNormal, kCmdViewModel})
			QVERIFY(window->action(id)->isChecked());
		QVERIFY(!window->action(kCmdFixedLight)->isChecked());
		for (int top : {kModelMenuPosition, kTextureMenuPosition, kAnimationMenuPosition})
			QVERIFY(!Enabled(window->topMenu(top)));

		// the texture menus open with a texture, their export with an image
		window->Sync(window->viewer().OpenFiles({kDemo}));
		emit window->filesPanel()->tree()->itemDoubleClicked(FileNode(*window, "crate_label", ItemKind::PLT0), 0);
		QVERIFY(Enabled(window->topMenu(kTextureMenuPosition)));
		QVERIFY(!Enabled(window->textureExportMenu()));
		emit window->filesPanel()->tree()->itemDoubleClicked(FileNode(*window, "crate_shadow", ItemKind::TEX0), 0);
		QVERIFY(Enabled(window->textureExportMenu()));
		QVERIFY(window->action(kCmdViewTexture)->isChecked());
		window->action(kCmdChannelAlpha)->trigger();
		QVERIFY(!window->action(kCmdChannelNormal)->isChecked());
		m_dialogs.saveAnswers = {(m_folder / "shadow.png").string()};
		window->action(kCmdExportPNG)->trigger();
		QCOMPARE(testing::DecodePNG(ReadWholeFile(m_folder / "shadow.png").bytes), window->viewer().state().TD.pixels);
	}

	void keysAndMouseReachTheViewer()
	{
		auto window = Open({kDemo, "crate"});
		QVERIFY(Enabled(window->topMenu(kModelMenuPosition)));
		const ViewerState& state = window->viewer().state();
		GLView* view = window->view();
		view->setFocus();
		QTest::keyClick(view, Qt::Key_Tab);
		QCOMPARE(state.disp.view, int(kTextureView));
		QTest::keyClick(view, Qt::Key_F2);
		QVERIFY(!window->action(kCmdFaces)->isChecked());
		window->action(kCmdFaces)->trigger();
		QCOMPARE(state.disp.view, int(kModelView));

		const float rotZ = state.MV.rotZ;
		QTest::keyClick(view, Qt::Key_4, Qt::KeypadModifier);
		QCOMPARE(state.MV.rotZ, rotZ - 10.0f);
		QTest::keyClick(view, Qt::Key_4); // the digit row does nothing
		QCOMPARE(state.MV.rotZ, rotZ - 10.0f);
		const float distance = state.MV.distance;
		QTest::keyClick(view, Qt::Key_Up);
		QVERIFY(state.MV.distance < distance);
		QTest::keyClick(view, Qt::Key_Shift);
		QCOMPARE(state.MV.offX, 0.0f);
		QTest::mousePress(view, Qt::LeftButton, {}, QPoint(100, 100));
		QTest::mouseMove(view, QPoint(150, 100));
		QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(150, 100));
		QVERIFY(state.MV.rotZ != rotZ - 10.0f);
	}

	void filesPanelAndDrops()
	{
		auto window = Open();
		const std::string junk = (m_folder / "junk.brres").string();
		QVERIFY(WriteFileAtomically(junk, std::vector<std::uint8_t>(100, 7)));
		m_dialogs.openAnswers = {{kDemo, junk, kDemo}};
		window->action(kCmdOpenFiles)->trigger();
		QCOMPARE(m_dialogs.LastText(), std::string("Warning: one of the selected files is not a valid BRRES file"));
		QTreeWidget* tree = window->filesPanel()->tree();
		QCOMPARE(tree->topLevelItemCount(), 2);
		QMimeData data;
		data.setUrls({QUrl::fromLocalFile(QString::fromStdString(kDemo))});
		QVERIFY(window->openDropped(data));
		QCOMPARE(tree->topLevelItemCount(), 3);
		QCOMPARE(tree->topLevelItem(0)->child(0)->text(0), QString("3DModels(NW4R)"));

		QTreeWidgetItem* model = FileNode(*window, "crate", ItemKind::MDL0);
		emit tree->itemDoubleClicked(model, 0);
		QCOMPARE(window->viewer().state().model.modelname, std::string("crate"));
		QCOMPARE(window->filesMenuFor(model).entries[0].label, std::string("Load and Display"));
		QCOMPARE(window->filesMenuFor(nullptr).entries[0].label, std::string("Open Files..."));

		// closing the middle archive keeps the other nodes as they were
		QTreeWidgetItem* first = tree->topLevelItem(0);
		QTreeWidgetItem* third = tree->topLevelItem(2);
		window->filesMenuFor(tree->topLevelItem(1));
		window->runCommand(kCmdCloseFile);
		QCOMPARE(tree->topLevelItemCount(), 2);
		QCOMPARE(tree->topLevelItem(0), first);
		QCOMPARE(tree->topLevelItem(1), third);
		QCOMPARE(third->childCount(), 6);

		window->filesPanel()->close();
		QTest::keyClick(window->view(), Qt::Key_F1);
		QVERIFY(window->filesPanel()->isVisible());
		window->action(kCmdShowHideFiles)->trigger();
		QVERIFY(!window->filesPanel()->isVisible());
		window->action(kCmdCloseAllFiles)->trigger();
		QCOMPARE(tree->topLevelItemCount(), 0);
		QVERIFY(window->filesPanel()->isVisible());
	}

	void modelPanel()
	{
		auto window = Open({kDemo, ""});
		window->action(kCmdMore)->trigger();
		QCOMPARE(m_dialogs.LastText(), std::string("Error: no model loaded"));
		QVERIFY(!window->modelPanel());

		emit window->filesPanel()->tree()->itemDoubleClicked(FileNode(*window, "crate", ItemKind::MDL0), 0);
		window->action(kCmdMore)->trigger();
		QVERIFY(window->modelPanel());
		QCOMPARE(window->modelPanel()->windowTitle(), QString("crate"));
		window->modelPanel()->tree()->setCurrentItem(ModelNode(*window, BoneNode(2)));
		QCOMPARE(window->viewer().state().sbone, 2);
		QTreeWidgetItem* lid = ModelNode(*window, MeshNode(1));
		window->modelMenuFor(lid);
		window->runCommand(kCmdHideMesh);
		QCOMPARE(lid->text(0), QString("* crate_lid"));
		window->runCommand(kCmdShowAllMeshes);
		QCOMPARE(lid->text(0), QString("crate_lid"));

		emit window->filesPanel()->tree()->itemDoubleClicked(FileNode(*window, "crate", ItemKind::MDL0), 0);
		QVERIFY(!window->modelPanel()); // another model closes the panel
	}

	void placesKeptInTheSettings()
	{
		{
			auto window = Open();
			window->move(40, 60);
			window->resize(700, 500);
			window->filesPanel()->move(800, 90);
			QTest::qWait(50);
			window->action(kCmdAxes)->trigger();
			window->close();
		}
		const std::string text = testing::ReadWholeText(settingsPath());
		QVERIFY2(text.find("main_window_pos_x=40\nmain_window_pos_y=60\nmain_window_width=700") != std::string::npos,
			text.c_str());
		QVERIFY(text.find("files_window_pos_x=800\nfiles_window_pos_y=90\n") != std::string::npos);
		auto again = Open();
		QCOMPARE(again->frameGeometry().topLeft(), QPoint(40, 60));
		QCOMPARE(again->filesPanel()->frameGeometry().topLeft(), QPoint(800, 90));
		QVERIFY(!again->action(kCmdAxes)->isChecked());
		again.reset();

		// windows placed off the screen come back
		QVERIFY(WriteFileAtomically(settingsPath(), testing::TextBytes("main_window_pos_x=90000\nmain_window_pos_y=-90000\n"
																   "main_window_width=100000\nmain_window_height=-5\n"
																   "files_window_pos_x=-5000\n")));
		auto lost = Open();
		const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
		QVERIFY(screen.contains(lost->frameGeometry().topLeft()));
		QVERIFY(lost->frameGeometry().width() <= screen.width());
		QVERIFY(screen.contains(lost->filesPanel()->frameGeometry().topLeft()));
	}

	void backgroundDialogCancelRestores()
	{
		auto window = Open();
		window->viewer().editState().disp.bgRed = 0.5f;
		bool seen = false;
		QTimer::singleShot(0, [&] {
			auto* dialog = qobject_cast<BackgroundDialog*>(QApplication::activeModalWidget());
			QVERIFY(dialog);
			QCOMPARE(dialog->valueText(0)->text(), QString("127"));
			dialog->slider(0)->setValue(200);
			QCOMPARE(dialog->valueText(0)->text(), QString("200"));
			QCOMPARE(window->viewer().state().disp.bgRed, 200 / 255.0f);
			QTest::keyClick(dialog, Qt::Key_Escape); // only the buttons close it
			QVERIFY(dialog->isVisible());
			dialog->findChild<QPushButton*>("cancel")->click();
			seen = true;
		});
		window->runCommand(kCmdBackgroundColor);
		QVERIFY(seen);
		QCOMPARE(window->viewer().state().disp.bgRed, 0.5f);
	}

	void screenshotShowsTheModel()
	{
		auto window = Open({kDemo, "crate"});
		QTest::qWait(100);
		const QPoint centre = window->view()->mapTo(window.get(), window->view()->rect().center());
		const QImage shot = window->screen()->grabWindow(window->winId()).toImage();
		QVERIFY(!shot.isNull());
		QVERIFY(QColor(shot.pixel(centre)) != QColor(Qt::black));
	}

	void commandLineAndOpenGL()
	{
		const CommandLine line = ParseCommandLine({"\"a b.brres\"", "--model", "crate", "--settings", "s.ini"});
		QCOMPARE(line.start.archive, std::string("a b.brres"));
		QCOMPARE(line.start.model, std::string("crate"));
		QCOMPARE(line.settings.string(), std::string("s.ini"));
		QVERIFY(!ParseCommandLine({"a", "b"}).error.empty());
		QVERIFY(!ParseCommandLine({"--model", "x"}).error.empty());
		QVERIFY(ParseCommandLine({"--version"}).version);
		QCOMPARE(ProbeOpenGL(), std::string());
	}
};

} // namespace zentarra::shell

int main(int argc, char** argv)
{
	QSurfaceFormat::setDefaultFormat(zentarra::shell::ViewFormat());
	QApplication app(argc, argv);
	zentarra::shell::ShellTest test;
	return QTest::qExec(&test, argc, argv);
}

#include "shell_test.moc"
