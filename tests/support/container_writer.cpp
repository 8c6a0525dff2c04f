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
	std::string name;
	const Bytes* bytes = nullptr; // null for a folder
	std::size_t parent = 0, end = 0; // a folder's parent and the index past its last node
};

// The nodes below the folder `prefix` ("" or "a/b/"), each folder followed by
// what it holds, in the order first named.
void AddNodes(const std::vector<PackedFile>& files, const std::string& prefix, std::vector<Node>& nodes)
{
	const std::size_t self = nodes.size() - 1;
	std::vector<std::string> folders;
	for (const PackedFile& file : files) {
		if (file.path.compare(0, prefix.size(), prefix) != 0)
			continue;
		const std::string rest = file.path.substr(prefix.size()), folder = rest.substr(0, rest.find('/'));
		if (folder == rest) {
			nodes.push_back({rest, &file.bytes, 0, 0});
		} else if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
			folders.push_back(folder);
			nodes.push_back({folder, nullptr, self, 0});
			AddNodes(files, prefix + folder + "/", nodes);
		}
	}
	nodes[self].end = nodes.size();
}

} // namespace

Bytes BuildU8(const std::vector<PackedFile>& files)
{
	std::vector<Node> nodes = {{"", nullptr, 0, 0}};
	AddNodes(files, "", nodes);

	ByteSink names;
	std::vector<std::size_t> nameAt;
	for (const Node& node : nodes) {
		nameAt.push_back(names.size());
		names.text(node.name);
		names.u8(0);
	}
	const std::size_t table = 0x20, tableSize = nodes.size() * 12 + names.size();
	const std::size_t data = (table + tableSize + 31) / 32 * 32;
	std::vector<std::size_t> dataAt(nodes.size(), 0);
	std::size_t end = data;
	for (std::size_t i = 0; i < nodes.size(); ++i)
		if (nodes[i].bytes) {
			dataAt[i] = end;
			end = (end + nodes[i].bytes->size() + 31) / 32 * 32;
		}

	ByteSink out;
	out.be32s({0x55AA382D, std::uint32_t(table), std::uint32_t(tableSize), std::uint32_t(data), 0, 0, 0, 0});
	for (std::size_t i = 0; i < nodes.size(); ++i) {
		const Node& node = nodes[i];
		out.be32s({(node.bytes ? 0u : 0x01000000u) | std::uint32_t(nameAt[i]),
			std::uint32_t(node.bytes ? dataAt[i] : node.parent), std::uint32_t(node.bytes ? node.bytes->size() : node.end)});
	}
	out.append(names.bytes);
	for (std::size_t i = 0; i < nodes.size(); ++i)
		if (nodes[i].bytes) {
			out.bytes.resize(dataAt[i], 0);
			out.append(*nodes[i].bytes);
		}
	out.bytes.resize(end, 0);
	return out.bytes;
}

} // namespace zentarra::testing
