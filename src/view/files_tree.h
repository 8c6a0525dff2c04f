// The files panel's tree as the viewer keeps it: archives at the top level,
// their folders below, the entries below the folders. Each node is known by
// its item's id. The shell's tree widget mirrors it.
#pragma once

#include "archive/brres_directory.h"

#include <string>
#include <vector>

namespace zentarra {

struct FilesTreeNode {
	int id = 0;      // the item's id
	int parent = -1; // the parent node's id, -1 at the top level
	std::string text;
	bool expanded = false;
};

class FilesTree : public ItemTree {
public:
	void Tree_AddItem(int id, int parent, std::string_view text) override;
	void Tree_Expand(int id) override;

	// The node and every node below it.
	void RemoveSubtree(int id);
	void Clear();

	// Expands (or collapses) every child of every top-level node, then the node.
	void ExpandCollapseAll(bool expand);
	void SetExpanded(int id, bool expanded);

	// Archive nodes show the item's full path (fullPath on) or the file-name
	// part of their current text (off).
	void ChangePathDisplay(const OpenArchives& items, bool fullPath);

	const std::vector<FilesTreeNode>& nodes() const { return nodes_; }
	const FilesTreeNode* Find(int id) const;

private:
	FilesTreeNode* FindNode(int id);

	std::vector<FilesTreeNode> nodes_; // by ascending id: parents before children, siblings in order
};

} // namespace zentarra
