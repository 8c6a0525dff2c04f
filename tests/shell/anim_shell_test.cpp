// The animation windows and the Export All dialogs of the Qt viewer under a
// real X server (Xvfb): playback driven by drawn frames and keys, Animation
// Info, Rotate Bone, Morph Target, Export All and its progress dialog.
#include "shell/anim_windows.h"
#include "shell/export_all_dialog.h"
#include "shell_window.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

namespace zentarra::shell {

class AnimShellTest : public QObject, ShellWindows {
	Q_OBJECT

	static const AnimState& Anim(MainWindow& window) { return window.viewer().state().model.anim; }

private slots:
	void init() { Fresh(); }
	void cleanup() { fs::remove_all(m_folder); }

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
		window->action(kCmdStop)->trigger();
		QCOMPARE(info->value(1)->text(), QString("(stopped)"));
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
	return zentarra::shell::RunShellTests<zentarra::shell::AnimShellTest>(argc, argv);
}

#include "anim_shell_test.moc"
