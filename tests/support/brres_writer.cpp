#include "support/brres_writer.h"

#include <algorithm>
#include <map>

namespace zentarra::testing {

Bytes StubSubFile(std::string_view magic, std::size_t size)
{
	ByteSink sink;
	sink.text(magic.substr(0, 4));
	sink.be32(std::uint32_t(size));
	sink.bytes.resize(std::max(size, sink.size()), 0);
	return sink.bytes;
}

Layout LayoutOf(const std::vector<Folder>& folders)
{
	Layout layout;
	layout.end = layout.rootGroup + GroupSize(folders.size());
	for (const Folder& folder : folders) {
		layout.folderGroups.push_back(layout.end);
		layout.end += GroupSize(folder.entries.size());
	}
	std::size_t at = (layout.end + 31) / 32 * 32;
	for (const Folder& folder : folders) {
		layout.subFiles.emplace_back();
		for (const SubFile& entry : folder.entries) {
			layout.subFiles.back().push_back(at);
			layout.end = at + entry.bytes.size();
			at = (layout.end + 31) / 32 * 32;
		}
	}
	return layout;
}

Bytes BuildBRRES(const std::vector<Folder>& folders)
{
	const Layout layout = LayoutOf(folders);

	// name table after the last sub-file: each name as length, characters, NUL
	const std::size_t tableStart = (layout.end + 3) / 4 * 4;
	ByteSink table;
	std::map<std::string, std::size_t> nameAt; // absolute offset of each name's characters
	const auto addName = [&](const std::string& name) {
		if (!nameAt.count(name))
			nameAt[name] = tableStart + table.name(name);
	};
	std::size_t sections = 1;
	for (const Folder& folder : folders) {
		addName(folder.name);
		for (const SubFile& entry : folder.entries)
			addName(entry.name);
		sections += folder.entries.size();
	}

	ByteSink out;
	// entry i's name and data at absolute offsets, given relative to the group
	const auto writeGroup = [&](std::size_t group, std::size_t count, auto entryAt) {
		std::vector<std::array<std::uint32_t, 2>> entries;
		for (std::size_t i = 0; i < count; ++i) {
			const auto [name, data] = entryAt(i);
			entries.push_back({std::uint32_t(nameAt.at(name) - group), std::uint32_t(data - group)});
		}
		out.group(entries);
	};

	// header (byte order mark, length patched below) and root section
	out.text("bres");
	out.be16s({0xFEFF, 0, 0, 0, 0x10, std::uint16_t(sections)});
	out.text("root");
	out.be32(0); // root section size, patched below
	writeGroup(layout.rootGroup, folders.size(), [&](std::size_t i) {
		return std::pair<std::string, std::size_t>(folders[i].name, layout.folderGroups[i]);
	});
	for (std::size_t f = 0; f < folders.size(); ++f)
		writeGroup(layout.folderGroups[f], folders[f].entries.size(), [&](std::size_t e) {
			return std::pair<std::string, std::size_t>(folders[f].entries[e].name, layout.subFiles[f][e]);
		});
	out.patch32(0x14, std::uint32_t(out.size() - 0x10));

	for (std::size_t f = 0; f < folders.size(); ++f)
		for (std::size_t e = 0; e < folders[f].entries.size(); ++e) {
			out.bytes.resize(layout.subFiles[f][e], 0);
			out.append(folders[f].entries[e].bytes);
		}
	out.bytes.resize(tableStart, 0);
	out.append(table.bytes);
	out.alignTo(32);
	out.patch32(8, std::uint32_t(out.size()));
	return out.bytes;
}

} // namespace zentarra::testing
