#include "shell/panels.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QMenu>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <unordered_set>

namespace zentarra::shell {

namespace {

constexpr int kNodeRole = Qt::UserRole;

} // namespace

void FillMenu(QMenu& menu, const std::vector<MenuEntry>& entries)
{
	for (const MenuEntry& entry : entries) {
		const QString label = QString::fromStdString(entry.label);
		switch (entry.kind) {
		case MenuEntry::Kind::Separator:
			menu.addSeparator();
			break;
		case MenuEntry::Kind::Submenu: {
			QMenu* sub = menu.addMenu(label);
			FillMenu(*sub, entry.entries);
			sub->setEnabled(entry.enabled);
			break;
		}
		case MenuEntry::Kind::Item: {
			QAction* action = menu.addAction(label);
			action->setData(entry.id);
			action->setCheckable(entry.checkable);
			action->setChecked(entry.checked);
			action->setEnabled(entry.enabled);
			break;
		}
		}
	}
}

TreePanel::TreePanel(const QString& title, QWidget* owner) : QWidget(owner, Qt::Tool), m_tree(new QTreeWidget(this))
{
	setWindowTitle(title);
	m_tree->setHeaderHidden(true);
	m_tree->setRootIsDecorated(true);
	m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
	m_tree->setUniformRowHeights(true);
	auto* layout = new QVBoxLayout(this);
	layout->setContentsMargins(0, 0, 0, 0);
	layout->addWidget(m_tree);
	connect(m_tree, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
		QTreeWidgetItem* node = m_tree->itemAt(at);
		if (node)
			m_tree->setCurrentItem(node);
		emit contextMenuAsked(node, m_tree->viewport()->mapToGlobal(at));
	});
}

void TreePanel::moveEvent(QMoveEvent* event)
{
	QWidget::moveEvent(event);
	emit moved(frameGeometry());
}

void TreePanel::resizeEvent(QResizeEvent* event)
{
	QWidget::resizeEvent(event);
	emit moved(frameGeometry());
}

void TreePanel::closeEvent(QCloseEvent* event)
{
	event->accept();
	emit closed();
}

int FilesTreeSync::IdOf(const QTreeWidgetItem* node)
{
	return node ? node->data(0, kNodeRole).toInt() : -1;
}

void FilesTreeSync::Sync(const FilesTree& files)
{
	std::unordered_set<int> present;
	for (const FilesTreeNode& node : files.nodes())
		present.insert(node.id);
	// drop the nodes that are gone: deleting the topmost of them takes its subtree along
	std::unordered_set<QTreeWidgetItem*> gone;
	for (auto it = m_nodes.begin(); it != m_nodes.end();) {
		if (present.count(it.key()) == 0) {
			gone.insert(it.value());
			it = m_nodes.erase(it);
		} else {
			++it;
		}
	}
	std::vector<QTreeWidgetItem*> roots;
	for (QTreeWidgetItem* item : gone)
		if (gone.count(item->parent()) == 0)
			roots.push_back(item);
	for (QTreeWidgetItem* root : roots)
		delete root;
	for (const FilesTreeNode& node : files.nodes()) {
		QTreeWidgetItem* item = m_nodes.value(node.id, nullptr);
		if (!item) {
			QTreeWidgetItem* parent = node.parent >= 0 ? m_nodes.value(node.parent, nullptr) : nullptr;
			item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
			item->setData(0, kNodeRole, node.id);
			m_nodes.insert(node.id, item);
		}
		const QString text = QString::fromStdString(node.text);
		if (item->text(0) != text)
			item->setText(0, text);
		if (item->isExpanded() != node.expanded)
			item->setExpanded(node.expanded);
	}
}

void FillModelTreeWidget(QTreeWidget* tree, const std::vector<ModelTreeNode>& nodes)
{
	tree->clear();
	std::vector<QTreeWidgetItem*> items;
	items.reserve(nodes.size());
	for (const ModelTreeNode& node : nodes) {
		QTreeWidgetItem* parent = node.parent >= 0 ? items[std::size_t(node.parent)] : nullptr;
		QTreeWidgetItem* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
		item->setText(0, QString::fromStdString(node.text));
		item->setData(0, kNodeRole, QVariant::fromValue<quint32>(node.param));
		items.push_back(item);
	}
	for (std::size_t i = 0; i < nodes.size(); ++i)
		if (nodes[i].expanded)
			items[i]->setExpanded(true);
}

std::uint32_t ParamOf(const QTreeWidgetItem* node)
{
	return node ? node->data(0, kNodeRole).value<quint32>() : 0;
}

} // namespace zentarra::shell
