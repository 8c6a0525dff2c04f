// The main window: the menu built from the menu table, the 3-D view, the
// files and model panels, and the frame loop. Every window event becomes
// one of the Viewer's commands; what the command says to refresh is
// brought in line by Sync.
#pragma once

#include "shell/anim_windows.h"
#include "shell/gl_view.h"
#include "shell/panels.h"
#include "view/viewer.h"

#include <QMainWindow>
#include <QMap>
#include <QTimer>

#include <filesystem>
#include <string>

class QMenu;
class QMimeData;
class QTreeWidgetItem;

namespace zentarra::shell {

struct StartOptions {
	std::string archive;   // opened at start, quotes removed
	std::string model;     // shown at start: an MDL0 entry of the archive
	std::string anim = {}; // then played: a CHR0 or SHP0 entry of the archive
	bool quitAfterFirstFrame = false; // for timing the start
};

class MainWindow : public QMainWindow, public ViewerFront {
	Q_OBJECT

public:
	explicit MainWindow(UserDialogs& dialogs, QWidget* parent = nullptr);
	~MainWindow() override;

	// Reads the settings, places and shows the windows, opens the archive.
	// The settings are written back when the window closes.
	void Start(const std::filesystem::path& settings, const StartOptions& options);

	Viewer& viewer() { return m_viewer; }
	GLView* view() const { return m_view; }
	TreePanel* filesPanel() const { return m_filesPanel; }
	TreePanel* modelPanel() const { return m_modelPanel; }
	QTreeWidgetItem* filesNode(int id) const { return m_filesSync.Node(id); }
	// The menu action of a command id, null for none.
	QAction* action(int id) const { return m_actions.value(id, nullptr); }
	QMenu* topMenu(int position) const { return m_topMenus.value(position, nullptr); }
	QMenu* textureExportMenu() const { return m_textureExport; }
	QMenu* animationExportMenu() const { return m_animationExport; }

	// The panels' context menus as they would open over a node (null: empty space).
	PopupMenu filesMenuFor(QTreeWidgetItem* node);
	PopupMenu modelMenuFor(QTreeWidgetItem* node);

	void Sync(Refresh refresh);

	// ViewerFront
	void ShowMessage(const MessageBox& message) override;
	std::vector<std::string> AskOpenFiles(const OpenFileRequest& request) override;
	std::optional<std::string> AskSaveFile(const SaveFileRequest& request) override;
	void SetTitle(int state) override;
	void DrawNow() override;

	// The Animation Info, Rotate Bone and Morph Target windows.
	AnimWindows* animWindows() const { return m_animWindows; }

	// The window a message box belongs to.
	QWidget* ownerOf(MessageOwner owner);

	// What a drop on the window opens: its local files, as "Open Files..." would.
	bool openDropped(const QMimeData& dropped);

public slots:
	void runCommand(int id);
	void openBackgroundDialog();

signals:
	// after the main window has closed: the program ends with it
	void closed();

protected:
	void moveEvent(QMoveEvent* event) override;
	void resizeEvent(QResizeEvent* event) override;
	void closeEvent(QCloseEvent* event) override;
	void dragEnterEvent(QDragEnterEvent* event) override;
	void dropEvent(QDropEvent* event) override;

private:
	void createMenus();
	void addEntries(QMenu* menu, const std::vector<MenuEntry>& entries, int top);
	void applyMenuState();
	void syncModelPanel();
	void syncMeshNames();
	void showContextMenu(const PopupMenu& menu, QPoint at);
	void storeRect(ViewerWindow window, QWidget* widget);
	void updateFrameTimer();

	UserDialogs& m_dialogs;
	Viewer m_viewer;
	GLView* m_view;
	TreePanel* m_filesPanel;
	TreePanel* m_modelPanel = nullptr;
	FilesTreeSync m_filesSync;
	QMap<int, QAction*> m_actions;
	QMap<int, QMenu*> m_topMenus;
	QMenu* m_textureExport = nullptr;
	QMenu* m_animationExport = nullptr;
	AnimWindows* m_animWindows;
	QTimer m_frameTimer;
	bool m_placed = false;
	bool m_quitAfterFirstFrame = false;
	std::filesystem::path m_settings; // written when the window closes
};

// Moves a window to a saved outer rectangle, onto a screen: a rectangle that
// lies on no screen goes to the primary screen, and a size larger than the
// screen is cut to it.
void PlaceWindow(QWidget* window, const WindowRect& rect);

} // namespace zentarra::shell
