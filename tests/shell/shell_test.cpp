// The Qt viewer's wiring under a real X server (Xvfb), one pass through each
// window and menu (what the commands do is checked in tests/view): the menus
// built from the table, keys, mouse, drops and panels reaching the viewer, the
// windows' places kept in the settings, the background dialog.
#include "base/file_io.h"
#include "shell/background_dialog.h"
#include "shell_window.h"

#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>

namespace zentarra::shell {

class ShellTest : public QObject, ShellWindows {
	Q_OBJECT

private slots:
	void init() { Fresh(); }
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
		window->Sync(window->viewer().OpenFiles({kDemo}));
		Activate(*window, "crate_shadow", ItemKind::TEX0);
		QVERIFY(window->textureExportMenu()->menuAction()->isEnabled());
		window->action(kCmdChannelAlpha)->trigger();
		QVERIFY(!window->action(kCmdChannelNormal)->isChecked());
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
		window->filesPanel()->close();
		QTest::keyClick(view, Qt::Key_F1);
		QVERIFY(window->filesPanel()->isVisible());
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
		again.reset();

		// windows placed off the screen come back
		const std::string lost = "main_window_pos_x=90000\nmain_window_pos_y=-90000\nmain_window_width=100000\n";
		QVERIFY(WriteFileAtomically(settingsPath(), std::vector<std::uint8_t>(lost.begin(), lost.end())));
		auto back = Open();
		const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
		QVERIFY(screen.contains(back->frameGeometry().topLeft()));
		QVERIFY(back->frameGeometry().width() <= screen.width());
	}

	void backgroundDialogCancelRestores()
	{
		auto window = Open();
		window->viewer().editState().disp.bgRed = 0.5f;
		bool seen = false;
		QTimer::singleShot(0, [&] {
			auto* dialog = qobject_cast<BackgroundDialog*>(QApplication::activeModalWidget());
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

	void commandLineAndOpenGL()
	{
		const CommandLine line = ParseCommandLine({"\"a b.brres\"", "--model", "crate", "--settings", "s.ini"});
		QCOMPARE(line.start.archive + " " + line.start.model + " " + line.settings.string(),
			std::string("a b.brres crate s.ini"));
		QVERIFY(!ParseCommandLine({"--model", "x"}).error.empty());
		QVERIFY(ParseCommandLine({"--version"}).version);
		QCOMPARE(ProbeOpenGL(), std::string());
	}
};

} // namespace zentarra::shell

int main(int argc, char** argv)
{
	return zentarra::shell::RunShellTests<zentarra::shell::ShellTest>(argc, argv);
}

#include "shell_test.moc"
