#include "view/files_tree.h"

#include "base/text.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

namespace zentarra {

void FilesTree::Tree_AddItem(int id, int parent, std::string_view text)
{
	nodes_.push_back({id, parent, std::string(text), false});
}

void FilesTree::Tree_Expand(int id)
{
	SetExpanded(id, true);
}

void FilesTree::RemoveSubtree(int id)
{
	std::unordered_set<int> removed{id};
	// parents come before their children, so one pass finds every descendant
	for (const FilesTreeNode& node : nodes_)
		if (removed.count(node.parent))
			removed.insert(node.id);
	std::erase_if(nodes_, [&](const FilesTreeNode& node) { return removed.count(node.id) != 0; });
}

void FilesTree::Clear()
{
	nodes_.clear();
}

void FilesTree::ExpandCollapseAll(bool expand)
{
	std::unordered_set<int> topLevel;
	for (const FilesTreeNode& node : nodes_)
		if (node.parent == -1)
			topLevel.insert(node.id);
	for (FilesTreeNode& node : nodes_)
		if (node.parent == -1 || topLevel.count(node.parent))
			node.expanded = expand;
}

void FilesTree::SetExpanded(int id, bool expanded)
{
	if (FilesTreeNode* node = FindNode(id))
		node->expanded = expanded;
}

void FilesTree::ChangePathDisplay(const OpenArchives& items, bool fullPath)
{
	for (FilesTreeNode& node : nodes_) {
		if (node.parent != -1)
			continue;
		if (const ItemRecord* item = items.GetItem(node.id))
			node.text = ArchiveText(item->path, item->inner, fullPath);
	}
}

const FilesTreeNode* FilesTree::Find(int id) const
{
	// ids only grow as nodes are added, so the list is sorted by id
	auto it = std::lower_bound(nodes_.begin(), nodes_.end(), id,
		[](const FilesTreeNode& node, int wanted) { return node.id < wanted; });
	return it == nodes_.end() || it->id != id ? nullptr : &*it;
}

FilesTreeNode* FilesTree::FindNode(int id)
{
	return const_cast<FilesTreeNode*>(std::as_const(*this).Find(id));
}

} // namespace zentarra
