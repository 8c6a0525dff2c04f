#include "support/container_writer.h"

#include <algorithm>
#include <map>

namespace zentarra::testing {

Bytes EncodeYaz0(const Bytes& data)
{
	ByteSink out;
	out.text("Yaz0");
	out.be32s({std::uint32_t(data.size()), 0, 0});
	constexpr std::size_t kWindow = 4096, kLongest = 273, kChain = 32;
	std::vector<std::int64_t> head(1 << 16, -1), previous(data.size(), -1);
	const auto hash = [&](std::size_t at) {
		return (std::size_t(data[at]) << 8 ^ std::size_t(data[at + 1]) << 4 ^ data[at + 2]) & 0xFFFF;
	};
	const auto insert = [&](std::size_t at) {
		if (at + 3 <= data.size()) {
			previous[at] = head[hash(at)];
			head[hash(at)] = std::int64_t(at);
		}
	};
	std::size_t at = 0;
	while (at < data.size()) {
		const std::size_t codeAt = out.size();
		out.u8(0);
		std::uint8_t code = 0;
		for (int chunk = 0; chunk < 8 && at < data.size(); ++chunk) {
			std::size_t best = 0, distance = 0;
			if (at + 3 <= data.size()) {
				std::size_t tries = 0;
				for (std::int64_t from = head[hash(at)]; from >= 0 && at - std::size_t(from) <= kWindow && tries < kChain;
					 from = previous[std::size_t(from)], ++tries) {
					std::size_t length = 0;
					const std::size_t limit = std::min(kLongest, data.size() - at);
					while (length < limit && data[std::size_t(from) + length] == data[at + length])
						++length;
					if (length > best)
						best = length, distance = at - std::size_t(from);
				}
			}
			if (best < 3) {
				code |= std::uint8_t(0x80 >> chunk);
				out.u8(data[at]);
				insert(at++);
				continue;
			}
			const std::size_t d = distance - 1;
			out.be16(std::uint16_t((best <= 17 ? (best - 2) << 12 : 0) | d)); // two bytes, or three for a long match
			if (best > 17)
				out.u8(std::uint8_t(best - 0x12));
			for (std::size_t k = 0; k < best; ++k)
				insert(at++);
		}
		out.bytes[codeAt] = code;
	}
	return out.bytes;
}

namespace {

struct Node {
	bool folder = false;
	std::string name;
	const Bytes* bytes = nullptr;
	std::vector<Node> children;
};

Node& Child(Node& parent, const std::string& name)
{
	for (Node& child : parent.children)
		if (child.folder && child.name == name)
			return child;
	parent.children.push_back({true, name, nullptr, {}});
	return parent.children.back();
}

struct Flat {
	const Node* node;
	std::size_t parent;
	std::size_t end = 0;
};

void Flatten(const Node& node, std::size_t parent, std::vector<Flat>& out)
{
	const std::size_t index = out.size();
	out.push_back({&node, parent});
	for (const Node& child : node.children)
		Flatten(child, index, out);
	out[index].end = out.size();
}

} // namespace

Bytes BuildU8(const std::vector<PackedFile>& files)
{
	Node root{true, "", nullptr, {}};
	for (const PackedFile& file : files) {
		Node* folder = &root;
		std::size_t from = 0;
		for (std::size_t slash; (slash = file.path.find('/', from)) != std::string::npos; from = slash + 1)
			folder = &Child(*folder, file.path.substr(from, slash - from));
		folder->children.push_back({false, file.path.substr(from), &file.bytes, {}});
	}
	std::vector<Flat> nodes;
	Flatten(root, 0, nodes);

	ByteSink names;
	std::vector<std::size_t> nameAt;
	for (const Flat& flat : nodes) {
		nameAt.push_back(names.size());
		names.text(flat.node->name);
		names.u8(0);
	}
	const std::size_t table = 0x20, tableSize = nodes.size() * 12 + names.size();
	const std::size_t data = (table + tableSize + 31) / 32 * 32;
	std::vector<std::size_t> dataAt(nodes.size(), 0);
	std::size_t end = data;
	for (std::size_t i = 0; i < nodes.size(); ++i)
		if (!nodes[i].node->folder) {
			dataAt[i] = end;
			end = (end + nodes[i].node->bytes->size() + 31) / 32 * 32;
		}

	ByteSink out;
	out.be32s({0x55AA382D, std::uint32_t(table), std::uint32_t(tableSize), std::uint32_t(data), 0, 0, 0, 0});
	for (std::size_t i = 0; i < nodes.size(); ++i) {
		const Flat& flat = nodes[i];
		out.be32s({(flat.node->folder ? 0x01000000u : 0u) | std::uint32_t(nameAt[i]),
			std::uint32_t(flat.node->folder ? flat.parent : dataAt[i]),
			std::uint32_t(flat.node->folder ? flat.end : flat.node->bytes->size())});
	}
	out.append(names.bytes);
	for (std::size_t i = 0; i < nodes.size(); ++i)
		if (!nodes[i].node->folder) {
			out.bytes.resize(dataAt[i], 0);
			out.append(*nodes[i].node->bytes);
		}
	out.bytes.resize(end, 0);
	return out.bytes;
}

} // namespace zentarra::testing
