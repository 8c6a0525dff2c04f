#include "cli/list_command.h"

#include "archive/open_files.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <unordered_map>

namespace zentarra::cli {

namespace {

// Remembers the tree the scan builds: each node's parent, depth and text.
class RecordedTree : public ItemTree {
public:
	struct Node {
		int parent = -1;
		int depth = 0;
		std::string text;
	};

	void Tree_AddItem(int id, int parent, std::string_view text) override
	{
		const auto up = nodes.find(parent);
		nodes[id] = Node{parent, up == nodes.end() ? 0 : up->second.depth + 1, std::string(text)};
	}
	void Tree_Expand(int) override {}

	const Node& at(int id) const { return nodes.at(id); }

private:
	std::unordered_map<int, Node> nodes;
};

std::string Hex(std::size_t value)
{
	char text[32];
	std::snprintf(text, sizeof text, "0x%zx", value);
	return text;
}

void PrintTree(const OpenArchives& items, std::size_t first, const RecordedTree& tree, std::ostream& out)
{
	const auto& all = items.items();
	for (std::size_t i = first; i < all.size(); ++i) {
		const ItemRecord& item = all[i];
		const RecordedTree::Node& node = tree.at(item.id);
		out << std::string(std::size_t(node.depth) * 2, ' ') << node.text;
		if (item.kind == ItemKind::Archive)
			out << "  (archive at " << Hex(item.offset - item.base) << ")";
		else if (item.kind == ItemKind::Folder)
			out << "/";
		else
			out << "  " << KindName(item.kind) << " at " << Hex(item.offset - item.base);
		out << '\n';
	}
}

nlohmann::json ItemsToJson(const OpenArchives& items, std::size_t first, const RecordedTree& tree)
{
	nlohmann::json list = nlohmann::json::array();
	const auto& all = items.items();
	for (std::size_t i = first; i < all.size(); ++i) {
		const ItemRecord& item = all[i];
		nlohmann::json& entry = list.emplace_back(nlohmann::json{
			{"id", item.id},
			{"name", item.name},
			{"kind", int(item.kind)},
			{"offset", item.offset - item.base}, // in the archive's own file, inside a container too
			{"archive", item.archive},
			{"parent", tree.at(item.id).parent},
		});
		if (item.kind == ItemKind::Archive && !item.inner.empty()) {
			entry["container"] = item.path;
			entry["inner"] = item.inner;
		}
	}
	return list;
}

} // namespace

int RunList(const ListOptions& options, std::ostream& out, std::ostream& err)
{
	OpenArchives items;
	RecordedTree tree;
	const TreeOptions treeOptions{options.fullPath, true};
	nlohmann::json files = nlohmann::json::array();
	int status = 0;

	for (const std::string& path : options.files) {
		const std::size_t first = items.items().size();
		const OpenResult opened = OpenArchiveFile(path, items, &tree, treeOptions);
		const bool ok = opened.status == OpenStatus::Opened;
		if (!ok)
			status = 1;

		if (options.json) {
			files.push_back({
				{"path", path},
				{"ok", ok},
				{"damaged", opened.scan.damaged},
				{"error", opened.message ? nlohmann::json(opened.message->text) : nlohmann::json(nullptr)},
				{"items", ItemsToJson(items, first, tree)},
			});
			continue;
		}
		if (opened.message)
			err << path << ": " << opened.message->text << '\n';
		PrintTree(items, first, tree, out);
	}

	if (options.json)
		// invalid UTF-8 in archive names is replaced, never thrown on
		out << nlohmann::json{{"files", files}}.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
	return status;
}

} // namespace zentarra::cli
