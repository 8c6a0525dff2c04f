#include "shell/main_window.h"

#include "shell/background_dialog.h"
#include "shell/export_all_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QTreeWidget>
#include <QUrl>

#include <algorithm>

namespace zentarra::shell {

namespace {

WindowRect RectOf(const QRect& frame)
{
	return {frame.x(), frame.y(), frame.width(), frame.height()};
}

} // namespace

void PlaceWindow(QWidget* window, const WindowRect& rect)
{
	QRect wanted(rect.x, rect.y, std::max(rect.width, 1), std::max(rect.height, 1));
	QScreen* screen = QGuiApplication::screenAt(wanted.center());
	const bool onScreen = screen != nullptr;
	if (!screen)
		screen = QGuiApplication::primaryScreen();
	if (screen) {
		const QRect room = screen->availableGeometry();
		wanted.setWidth(std::min(wanted.width(), room.width()));
		wanted.setHeight(std::min(wanted.height(), room.height()));
		if (!onScreen)
			wanted.moveTopLeft(room.topLeft());
	}
	// the rectangle is the outer one: take the frame off the size
	const QSize frame = window->frameGeometry().size() - window->size();
	window->resize(std::max(wanted.width() - frame.width(), 1), std::max(wanted.height() - frame.height(), 1));
	window->move(wanted.topLeft());
}

MainWindow::MainWindow(UserDialogs& dialogs, QWidget* parent)
	: QMainWindow(parent),
	  m_dialogs(dialogs),
	  m_viewer(*this),
	  m_view(new GLView(m_viewer.state(), this)),
	  m_filesPanel(new TreePanel("Files", this)),
	  m_filesSync(m_filesPanel->tree()),
	  m_animWindows(new AnimWindows(
		  m_viewer, this, [this](Refresh refresh) { Sync(refresh); },
		  [this]() -> QWidget* { return m_modelPanel; }, [this] { DrawNow(); }))
{
	setWindowTitle(QString::fromStdString(WindowTitle(0)));
	setCentralWidget(m_view);
	setAcceptDrops(true);
	createMenus();

	connect(m_view, &GLView::keyDown, this, [this](InputKey key, bool ctrl) { Sync(m_viewer.KeyDown(key, ctrl)); });
	connect(m_view, &GLView::keyUp, this, [this](InputKey key) { Sync(m_viewer.KeyUp(key)); });
	connect(m_view, &GLView::mousePressed, this, [this] { Sync(m_viewer.MouseDown()); });
	connect(m_view, &GLView::mouseMoved, this,
		[this](unsigned buttons, int x, int y) { Sync(m_viewer.MouseMove(buttons, x, y)); });
	connect(m_view, &GLView::wheelTurned, this, [this](int delta) { Sync(m_viewer.MouseWheel(delta)); });
	// the animation steps after the frame, outside the paint
	connect(m_view, &GLView::frameDrawn, this, [this] {
		Sync(m_viewer.FrameDrawn());
		if (m_quitAfterFirstFrame) {
			m_quitAfterFirstFrame = false;
			close();
		}
	}, Qt::QueuedConnection);

	QTreeWidget* files = m_filesPanel->tree();
	connect(files, &QTreeWidget::itemDoubleClicked, this,
		[this](QTreeWidgetItem* node) { Sync(m_viewer.ActivateFileItem(FilesTreeSync::IdOf(node))); });
	connect(files, &QTreeWidget::itemExpanded, this,
		[this](QTreeWidgetItem* node) { m_viewer.SetFileNodeExpanded(FilesTreeSync::IdOf(node), true); });
	connect(files, &QTreeWidget::itemCollapsed, this,
		[this](QTreeWidgetItem* node) { m_viewer.SetFileNodeExpanded(FilesTreeSync::IdOf(node), false); });
	connect(m_filesPanel, &TreePanel::contextMenuAsked, this,
		[this](QTreeWidgetItem* node, QPoint at) { showContextMenu(filesMenuFor(node), at); });
	connect(m_filesPanel, &TreePanel::moved, this, [this](QRect frame) {
		if (m_placed)
			Sync(m_viewer.WindowMoved(ViewerWindow::Files, RectOf(frame)));
	});
	connect(m_filesPanel, &TreePanel::closed, this, [this] { Sync(m_viewer.FilesPanelClosed()); });

	// frames follow the screen's refresh while something moves
	m_frameTimer.setTimerType(Qt::PreciseTimer);
	connect(&m_frameTimer, &QTimer::timeout, m_view, qOverload<>(&QWidget::update));
}

MainWindow::~MainWindow() = default;

void MainWindow::Start(const std::filesystem::path& settings, const StartOptions& options)
{
	m_viewer.ReadSettings(settings);
	m_settings = settings;
	m_quitAfterFirstFrame = options.quitAfterFirstFrame;
	const DisplaySettings& disp = m_viewer.state().disp;
	PlaceWindow(this, disp.main);
	show();
	PlaceWindow(m_filesPanel, disp.files);
	m_filesPanel->show();
	m_placed = true;
	activateWindow();
	m_view->setFocus();
	Refresh refresh = m_viewer.OpenCommandLine(options.archive) | kMenus | kFilesPanel;
	if (!options.model.empty()) {
		const int item = m_viewer.FindEntry(options.model, ItemKind::MDL0);
		if (item >= 0)
			refresh |= m_viewer.LoadModel(item);
		else
			ShowMessage({"ERROR", "Error: the archive has no model named \"" + options.model + "\"",
				MessageIcon::Warning, MessageOwner::MainWindow});
	}
	if (!options.anim.empty())
		refresh |= m_viewer.PlayAnimationEntry(options.anim);
	Sync(refresh | kRedraw);
}

// --- menus ---

void MainWindow::createMenus()
{
	const std::vector<MenuEntry>& menu = MainMenu();
	for (std::size_t top = 0; top < menu.size(); ++top) {
		const MenuEntry& entry = menu[top];
		if (entry.kind == MenuEntry::Kind::Submenu) {
			QMenu* sub = menuBar()->addMenu(QString::fromStdString(entry.label));
			m_topMenus.insert(int(top), sub);
			addEntries(sub, entry.entries, int(top));
		} else {
			QAction* action = menuBar()->addAction(QString::fromStdString(entry.label));
			action->setData(entry.id);
			m_actions.insert(entry.id, action);
			connect(action, &QAction::triggered, this, [this, id = entry.id] { runCommand(id); });
		}
	}
}

void MainWindow::addEntries(QMenu* menu, const std::vector<MenuEntry>& entries, int top)
{
	for (std::size_t i = 0; i < entries.size(); ++i) {
		const MenuEntry& entry = entries[i];
		switch (entry.kind) {
		case MenuEntry::Kind::Separator:
			menu->addSeparator();
			break;
		case MenuEntry::Kind::Submenu: {
			QMenu* sub = menu->addMenu(QString::fromStdString(entry.label));
			addEntries(sub, entry.entries, top);
			if (top == kTextureMenuPosition && entry.label == "&Export...")
				m_textureExport = sub;
			if (top == kAnimationMenuPosition && entry.label == "&Export...")
				m_animationExport = sub;
			break;
		}
		case MenuEntry::Kind::Item: {
			// the text behind the tab is shown as the shortcut; the view handles the key itself
			QAction* action = menu->addAction(QString::fromStdString(entry.label));
			action->setData(entry.id);
			action->setCheckable(entry.checkable);
			m_actions.insert(entry.id, action);
			connect(action, &QAction::triggered, this, [this, id = entry.id] { runCommand(id); });
			break;
		}
		}
	}
}

void MainWindow::applyMenuState()
{
	const MenuState state = m_viewer.menuState();
	for (auto it = m_actions.begin(); it != m_actions.end(); ++it) {
		QAction* action = it.value();
		if (action->isCheckable())
			action->setChecked(state.IsChecked(it.key()));
		action->setEnabled(state.IsEnabled(it.key()));
	}
	m_topMenus.value(kModelMenuPosition)->menuAction()->setEnabled(state.modelMenu);
	m_topMenus.value(kTextureMenuPosition)->menuAction()->setEnabled(state.textureMenu);
	m_topMenus.value(kAnimationMenuPosition)->menuAction()->setEnabled(state.animationMenu);
	m_textureExport->menuAction()->setEnabled(state.textureExport);
	m_animationExport->menuAction()->setEnabled(state.animationExport);
}

void MainWindow::runCommand(int id)
{
	if (id == kCmdBackgroundColor) {
		openBackgroundDialog();
		return;
	}
	Sync(m_viewer.Command(id));
}

void MainWindow::openBackgroundDialog()
{
	BackgroundDialog dialog(m_viewer, this);
	connect(&dialog, &BackgroundDialog::colorChanged, m_view, qOverload<>(&QWidget::update));
	dialog.exec();
	m_view->update();
}

// --- panels ---

PopupMenu MainWindow::filesMenuFor(QTreeWidgetItem* node)
{
	return m_viewer.FilesContextMenu(node ? FilesTreeSync::IdOf(node) : -1);
}

PopupMenu MainWindow::modelMenuFor(QTreeWidgetItem* node)
{
	return m_viewer.ModelContextMenu(ParamOf(node));
}

void MainWindow::showContextMenu(const PopupMenu& popup, QPoint at)
{
	QMenu menu(this);
	FillMenu(menu, popup.entries);
	if (QAction* chosen = menu.exec(at); chosen && chosen->data().toInt() != 0)
		runCommand(chosen->data().toInt());
}

void MainWindow::syncModelPanel()
{
	const ViewerState& state = m_viewer.state();
	if (!state.modelPanelOpen) {
		if (m_modelPanel) {
			m_modelPanel->deleteLater();
			m_modelPanel->hide();
			m_modelPanel = nullptr;
		}
		return;
	}
	if (!m_modelPanel) {
		m_modelPanel = new TreePanel(QString::fromStdString(state.model.modelname), this);
		QTreeWidget* tree = m_modelPanel->tree();
		connect(tree, &QTreeWidget::currentItemChanged, this,
			[this](QTreeWidgetItem* node) { Sync(m_viewer.SelectModelNode(ParamOf(node))); });
		connect(tree, &QTreeWidget::itemDoubleClicked, this,
			[this](QTreeWidgetItem* node) { Sync(m_viewer.ActivateModelNode(ParamOf(node))); });
		connect(m_modelPanel, &TreePanel::contextMenuAsked, this,
			[this](QTreeWidgetItem* node, QPoint at) { showContextMenu(modelMenuFor(node), at); });
		connect(m_modelPanel, &TreePanel::moved, this,
			[this](QRect frame) { Sync(m_viewer.WindowMoved(ViewerWindow::Model, RectOf(frame))); });
		connect(m_modelPanel, &TreePanel::closed, this, [this] { Sync(m_viewer.ModelPanelClosed()); });
		PlaceWindow(m_modelPanel, state.disp.model);
	}
	{
		const QSignalBlocker quiet(m_modelPanel->tree());
		FillModelTreeWidget(m_modelPanel->tree(), m_viewer.modelTree());
	}
	m_modelPanel->show();
}

void MainWindow::syncMeshNames()
{
	if (!m_modelPanel)
		return;
	QTreeWidget* tree = m_modelPanel->tree();
	for (int i = 0; i < tree->topLevelItemCount(); ++i) {
		QTreeWidgetItem* top = tree->topLevelItem(i);
		if (ParamOf(top) != kMeshesNode)
			continue;
		const std::vector<std::string> names = SetMeshNames(m_viewer.state().model);
		for (int m = 0; m < top->childCount() && std::size_t(m) < names.size(); ++m)
			top->child(m)->setText(0, QString::fromStdString(names[std::size_t(m)]));
	}
}

// --- refresh ---

void MainWindow::Sync(Refresh refresh)
{
	if (refresh & kMenus)
		applyMenuState();
	if (refresh & kTitle)
		setWindowTitle(QString::fromStdString(WindowTitle(m_viewer.state().titleState)));
	if (refresh & kFilesTree)
		m_filesSync.Sync(m_viewer.filesTree());
	if (refresh & kFilesPanel)
		m_filesPanel->setVisible(m_viewer.state().filesPanelVisible);
	if (refresh & kModelPanel)
		syncModelPanel();
	if (refresh & kMeshNames)
		syncMeshNames();
	if (refresh & (kRedraw | kTextureImages))
		m_view->update();
	if (refresh & kFocusMain) {
		activateWindow();
		m_view->setFocus();
	}
	if (refresh & kQuit)
		QTimer::singleShot(0, this, &QWidget::close);
	updateFrameTimer();
	if (refresh & (kAnimInfo | kBoneDialog | kMorphDialog))
		m_animWindows->Sync(refresh);
	if (refresh & kExportAllDialog)
		RunExportAll(m_viewer, m_dialogs, this, [this](Refresh after) { Sync(after); });
}

void MainWindow::updateFrameTimer()
{
	const bool moving = m_viewer.state().model.anim.playing != 0;
	if (moving && !m_frameTimer.isActive()) {
		const qreal rate = screen() && screen()->refreshRate() > 1.0 ? screen()->refreshRate() : 60.0;
		m_frameTimer.start(std::max(1, int(1000.0 / rate)));
	} else if (!moving && m_frameTimer.isActive()) {
		m_frameTimer.stop();
	}
}

// --- ViewerFront ---

QWidget* MainWindow::ownerOf(MessageOwner owner)
{
	switch (owner) {
	case MessageOwner::MainWindow:
		return this;
	case MessageOwner::ActiveWindow:
		return QApplication::activeWindow() ? QApplication::activeWindow() : this;
	case MessageOwner::ModelPanel:
		return m_modelPanel ? static_cast<QWidget*>(m_modelPanel) : this;
	case MessageOwner::NoOwner:
		return nullptr;
	}
	return this;
}

void MainWindow::ShowMessage(const MessageBox& message)
{
	m_dialogs.ShowMessage(message);
}

std::vector<std::string> MainWindow::AskOpenFiles(const OpenFileRequest& request)
{
	return m_dialogs.AskOpenFiles(request);
}

std::optional<std::string> MainWindow::AskSaveFile(const SaveFileRequest& request)
{
	return m_dialogs.AskSaveFile(request);
}

void MainWindow::SetTitle(int state)
{
	setWindowTitle(QString::fromStdString(WindowTitle(state)));
	// a long action follows: let the title reach the screen first
	if (state != 0)
		QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void MainWindow::DrawNow()
{
	m_view->repaint();
}

// --- window events ---

void MainWindow::storeRect(ViewerWindow window, QWidget* widget)
{
	if (m_placed)
		Sync(m_viewer.WindowMoved(window, RectOf(widget->frameGeometry())));
}

void MainWindow::moveEvent(QMoveEvent* event)
{
	QMainWindow::moveEvent(event);
	storeRect(ViewerWindow::Main, this);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
	QMainWindow::resizeEvent(event);
	storeRect(ViewerWindow::Main, this);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
	if (!m_settings.empty())
		m_viewer.WriteSettings(m_settings);
	m_settings.clear();
	QMainWindow::closeEvent(event);
	emit closed();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
	if (event->mimeData()->hasUrls())
		event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
	if (openDropped(*event->mimeData()))
		event->acceptProposedAction();
}

bool MainWindow::openDropped(const QMimeData& dropped)
{
	std::vector<std::string> paths;
	for (const QUrl& url : dropped.urls())
		if (url.isLocalFile())
			paths.push_back(url.toLocalFile().toStdString());
	if (paths.empty())
		return false;
	Sync(m_viewer.OpenFiles(paths));
	return true;
}

} // namespace zentarra::shell
