// Test-only writer of BRRES archives: headers, index groups, folders and named
// sub-files with given bytes, laid out as the console's tools lay them out.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zentarra::testing {

using Bytes = std::vector<std::uint8_t>;

// Bytes of an index group: header, reference entry, then 16 per entry.
constexpr std::size_t GroupSize(std::size_t entries) { return 24 + 16 * entries; }

// Big-endian byte sink.
struct ByteSink {
	Bytes bytes;

	std::size_t size() const { return bytes.size(); }
	void u8(std::uint8_t value) { bytes.push_back(value); }
	void be16(std::uint16_t value) { bytes.insert(bytes.end(), {std::uint8_t(value >> 8), std::uint8_t(value)}); }
	void be32(std::uint32_t value) { be16s({std::uint16_t(value >> 16), std::uint16_t(value)}); }
	void be16s(std::initializer_list<std::uint16_t> values)
	{
		for (const std::uint16_t value : values)
			be16(value);
	}
	void be32s(std::initializer_list<std::uint32_t> values)
	{
		for (const std::uint32_t value : values)
			be32(value);
	}
	void text(std::string_view chars) { bytes.insert(bytes.end(), chars.begin(), chars.end()); } // no terminator
	void append(const Bytes& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }
	void alignTo(std::size_t alignment) { bytes.resize((bytes.size() + alignment - 1) / alignment * alignment, 0); }
	void patch32(std::size_t at, std::uint32_t value)
	{
		for (std::size_t k = 0; k < 4; ++k)
			bytes.at(at + k) = std::uint8_t(value >> (24 - 8 * k));
	}
	// A name as name tables hold it: length, characters, NUL, 4-byte aligned; returns where the characters start.
	std::size_t name(std::string_view chars)
	{
		be32(std::uint32_t(chars.size()));
		const std::size_t at = size();
		text(chars);
		u8(0);
		alignTo(4);
		return at;
	}
	// An index group: header, reference entry, then per entry the search-tree
	// fields readers skip and its name and data offsets from the group's start.
	void group(const std::vector<std::array<std::uint32_t, 2>>& nameAndData)
	{
		be32s({std::uint32_t(GroupSize(nameAndData.size())), std::uint32_t(nameAndData.size()), 0xFFFF0000, 0, 0, 0});
		for (std::size_t i = 0; i < nameAndData.size(); ++i)
			be32s({std::uint32_t(i + 1) << 16, 0, nameAndData[i][0], nameAndData[i][1]});
	}
};

struct SubFile {
	std::string name;
	Bytes bytes; // starts with the sub-file's magic
};

struct Folder {
	std::string name;
	std::vector<SubFile> entries;
};

// A sub-file holding just its magic, a size field and zeros up to `size` bytes.
Bytes StubSubFile(std::string_view magic, std::size_t size = 32);

// A whole archive: header, root group, one group per folder, the sub-files
// (32-byte aligned) and the name table.
Bytes BuildBRRES(const std::vector<Folder>& folders);

// Offsets a test needs to damage an archive BuildBRRES made.
struct Layout {
	std::size_t rootGroup = 0x18;
	std::vector<std::size_t> folderGroups; // one per folder
	std::vector<std::vector<std::size_t>> subFiles; // absolute offsets, per folder
	std::size_t end = 0; // of the last sub-file, or of the groups
};
Layout LayoutOf(const std::vector<Folder>& folders);

} // namespace zentarra::testing
