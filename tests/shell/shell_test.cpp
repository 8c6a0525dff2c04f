// The Qt viewer's wiring under a real X server (Xvfb), one pass through each
// window and menu (what the commands do is checked in tests/view): the menus
// built from the table, keys, mouse, drops and panels reaching the viewer, the
// windows' places kept in the settings, the background dialog, playback driven
// by drawn frames and keys, Animation Info, Rotate Bone, Morph Target and
// Export All.
#include "shell/anim_windows.h"
#include "shell/background_dialog.h"
#include "shell/export_all_dialog.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "support/scene.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
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

	fs::path settingsPath() const { return m_folder / "zentarra.ini"; }
	// A main window on the test's folder and scripted dialogs.
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
	static const AnimState& Anim(MainWindow& window) { return window.viewer().state().model.anim; }

	fs::path m_folder;
	testing::ScriptedDialogs m_dialogs;

private slots:
	// an empty folder named after the test function, a fresh script
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
		std::function<void(QMenu*, const std::vector<MenuEntry>&)> compare = [&](QMenu* menu, const auto& entries) {
			const QList<QAction*> actions = menu->actions();
			QCOMPARE(actions.size(), qsizetype(entries.size()));
			for (std::size_t i = 0; i < entries.size(); ++i) {
				QCOMPARE(actions[qsizetype(i)]->text().toStdString(), entries[i].label);
				if (entries[i].kind == MenuEntry::Kind::Submenu)
					compare(actions[qsizetype(i)]->menu(), entries[i].entries);
				else if (entries[i].kind == MenuEntry::Kind::Item)
					QCOMPARE(actions[qsizetype(i)]->data().toInt(), entries[i].id);
			}
		};
		for (int top = 0; top < 5; ++top)
			compare(window->topMenu(top), MainMenu()[std::size_t(top)].entries);
		QVERIFY(!window->topMenu(kTextureMenuPosition)->menuAction()->isEnabled());
	}

	void keysMouseAndThePanels()
	{
		auto window = Open({kDemo, "crate"});
		const ViewerState& state = window->viewer().state();
		GLView* view = window->view();
		view->setFocus();
		QTest::keyClick(view, Qt::Key_F2);
		QVERIFY(!window->action(kCmdFaces)->isChecked());
		const float rotZ = state.MV.rotZ;
		QTest::keyClick(view, Qt::Key_4, Qt::KeypadModifier);
		QTest::keyClick(view, Qt::Key_4); // the digit row does nothing
		QCOMPARE(state.MV.rotZ, rotZ - 10.0f);
		QTest::mousePress(view, Qt::LeftButton, {}, QPoint(100, 100));
		QTest::mouseMove(view, QPoint(150, 100));
		QVERIFY(state.MV.rotZ != rotZ - 10.0f);

		window->action(kCmdMore)->trigger();
		QTreeWidgetItem* lid = nullptr;
		for (QTreeWidgetItemIterator it(window->modelPanel()->tree()); *it; ++it)
			lid = ParamOf(*it) == MeshNode(1) ? *it : lid;
		window->modelMenuFor(lid);
		window->runCommand(kCmdHideMesh);
		QCOMPARE(lid->text(0), QString("* crate_lid"));

		// a drop opens a second archive; closing the first keeps the other's nodes
		QMimeData data;
		data.setUrls({QUrl::fromLocalFile(QString::fromStdString(kDemo))});
		QVERIFY(window->openDropped(data));
		QTreeWidget* tree = window->filesPanel()->tree();
		QTreeWidgetItem* second = tree->topLevelItem(1);
		window->filesMenuFor(tree->topLevelItem(0));
		window->runCommand(kCmdCloseFile);
		QCOMPARE(tree->topLevelItem(0), second);
	}

	void placesKeptInTheSettings()
	{
		{
			auto window = Open();
			window->filesPanel()->move(800, 90);
			QTest::qWait(50);
			window->action(kCmdAxes)->trigger();
			window->close();
		}
		auto again = Open();
		QCOMPARE(again->filesPanel()->frameGeometry().topLeft(), QPoint(800, 90));
	}

	void backgroundDialogCancelRestores()
	{
		auto window = Open();
		DisplaySettings& disp = window->viewer().editState().disp;
		disp.bgRed = 0.5f;
		disp.bgGreen = 0.02f;
		bool seen = false;
		QTimer::singleShot(0, [&] {
			auto* dialog = qobject_cast<BackgroundDialog*>(QApplication::activeModalWidget());
			// three digits, cut rather than rounded
			QCOMPARE(dialog->valueText(0)->text() + dialog->valueText(1)->text(), QString("127005"));
			dialog->slider(0)->setValue(200);
			QCOMPARE(dialog->valueText(0)->text(), QString("200"));
			QTest::keyClick(dialog, Qt::Key_Escape); // only the buttons close it
			dialog->findChild<QPushButton*>("cancel")->click();
			seen = true;
		});
		window->runCommand(kCmdBackgroundColor);
		QVERIFY(seen);
		QCOMPARE(window->viewer().state().disp.bgRed, 0.5f);
	}

	void playbackFramesKeysAndInfo()
	{
		const CommandLine line = ParseCommandLine({kDemo, "--model", "crate", "--anim", "crate_open"});
		QVERIFY(!ParseCommandLine({"a.brres", "--anim", "crate_open"}).error.empty());
		auto window = Open(line.start);
		const float from = Anim(*window).frame;
		QTRY_VERIFY(Anim(*window).frame != from); // drawn frames step it

		window->action(kCmdAnimInfo)->trigger();
		AnimInfoWindow* info = window->animWindows()->infoWindow();
		QCOMPARE(info->value(2)->text(), QString("00040"));
		GLView* view = window->view();
		view->setFocus();
		QTest::keyClick(view, Qt::Key_Space);
		const float paused = Anim(*window).frame;
		QTest::keyClick(view, Qt::Key_Right);
		QCOMPARE(Anim(*window).frame, float(int(paused)) + 1.0f);
		info->close();
		QVERIFY(!window->viewer().state().animInfoOpen);
	}

	void rotateBoneAndMorphTarget()
	{
		auto window = Open({kDemo, "crate"});
		window->filesMenuFor(FileNode(*window, "crate_bulge", ItemKind::SHP0));
		window->runCommand(kCmdLoadVertexAnim);
		window->runCommand(kCmdMore);
		QTreeWidget* tree = window->modelPanel()->tree();
		QTreeWidgetItem* lid = nullptr;
		QTreeWidgetItem* target = nullptr;
		for (QTreeWidgetItemIterator it(tree); *it; ++it) {
			lid = ParamOf(*it) == BoneNode(2) ? *it : lid;
			target = NodeClass(ParamOf(*it)) == kMorphTargetClass ? *it : target;
		}

		emit tree->itemDoubleClicked(lid, 0);
		BoneDialog* bone = window->animWindows()->boneDialog();
		const QImage before = window->view()->grabFramebuffer();
		bone->slider(0)->setValue(60);
		QVERIFY(window->view()->grabFramebuffer() != before);

		bool seen = false;
		QTimer::singleShot(0, [&] {
			auto* morph = qobject_cast<MorphDialog*>(QApplication::activeModalWidget());
			QVERIFY(morph);
			morph->slider()->setValue(50);
			QCOMPARE(window->viewer().state().model.MD.morph[0][0], 0.5f);
			morph->findChild<QPushButton*>("ok")->click();
			seen = true;
		});
		emit tree->itemDoubleClicked(target, 0);
		QVERIFY(seen);

		// freeing the model closes the bone window and the panel
		emit window->filesPanel()->tree()->itemDoubleClicked(FileNode(*window, "crate", ItemKind::MDL0), 0);
		QVERIFY(!window->modelPanel());
		QTRY_VERIFY(!window->animWindows()->boneDialog());
	}

	void exportAllThroughItsDialog()
	{
		const fs::path archive = m_folder / "demo.brres";
		fs::copy_file(kDemo, archive);
		auto window = Open({archive.string(), "crate"});
		bool seen = false;
		QTimer::singleShot(0, [&] {
			auto* dialog = qobject_cast<ExportAllDialog*>(QApplication::activeModalWidget());
			QVERIFY(dialog);
			dialog->list(1)->setCurrentIndex(3); // OBJ
			dialog->findChild<QPushButton*>("ok")->click();
			seen = true;
		});
		window->runCommand(kCmdExportAll);
		QVERIFY(seen);
		QVERIFY2(m_dialogs.LastText().rfind("Export finished.", 0) == 0, m_dialogs.LastText().c_str());
		QVERIFY(fs::exists(m_folder / "exported" / "crate.obj"));
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
