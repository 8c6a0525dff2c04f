// The files panel and the model panel: small tool windows beside the main
// window, each a tree whose nodes carry their item id or node parameter.
#pragma once

#include "view/files_tree.h"
#include "view/menu.h"
#include "view/model_tree.h"

#include <QHash>
#include <QWidget>

#include <cstdint>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;
class QMenu;

namespace zentarra::shell {

// A QMenu from a menu table; each action's data is its command id.
void FillMenu(QMenu& menu, const std::vector<MenuEntry>& entries);

// A tool window holding one tree that fills it.
class TreePanel : public QWidget {
	Q_OBJECT

public:
	TreePanel(const QString& title, QWidget* owner);
	QTreeWidget* tree() const { return m_tree; }

signals:
	void moved(QRect frame);
	void closed();
	// A node's context menu: the node's data, or none over empty space.
	void contextMenuAsked(QTreeWidgetItem* node, QPoint globalPosition);

protected:
	void moveEvent(QMoveEvent* event) override;
	void resizeEvent(QResizeEvent* event) override;
	void closeEvent(QCloseEvent* event) override;

private:
	QTreeWidget* m_tree;
};

// Brings the files tree widget in line with the viewer's files tree: nodes
// are matched by item id, so expansion and selection stay as they are.
class FilesTreeSync {
public:
	explicit FilesTreeSync(QTreeWidget* tree) : m_tree(tree) {}
	void Sync(const FilesTree& files);
	QTreeWidgetItem* Node(int id) const { return m_nodes.value(id, nullptr); }
	static int IdOf(const QTreeWidgetItem* node);

private:
	QTreeWidget* m_tree;
	QHash<int, QTreeWidgetItem*> m_nodes;
};

// Fills the model panel's tree; returns nothing, the nodes carry their parameters.
void FillModelTreeWidget(QTreeWidget* tree, const std::vector<ModelTreeNode>& nodes);
std::uint32_t ParamOf(const QTreeWidgetItem* node);

} // namespace zentarra::shell
