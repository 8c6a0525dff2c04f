// Finding BRRES archives in a file and walking their directories.
//
// Layout, offsets relative to the archive's magic A, all big-endian:
//   A+0x00  "bres"
//   A+0x08  archive length in bytes
//   A+0x18  root index group G: +0 size, +4 folder count, +8 reference entry,
//           then 16-byte entries: id, flag, left, right (u16 each), name offset
//           and data offset (u32, relative to G)
// A folder's index group F has the same shape, its entries point at sub-files
// (relative to F); a sub-file starts with its four-letter magic. Entries are
// taken in stored order; the groups' search-tree links are not used.
#pragma once

#include "archive/items.h"
#include "base/byte_view.h"

#include <string>
#include <string_view>

namespace zentarra {

// The tree of the files panel, as the scan builds it. A node is known by the
// id of its item; parent -1 is the top level. The viewer implements it with
// its tree widget, the command line by printing.
class ItemTree {
public:
	virtual ~ItemTree() = default;
	// Adds a node with that text as the last child of the parent.
	virtual void Tree_AddItem(int id, int parent, std::string_view text) = 0;
	virtual void Tree_Expand(int id) = 0;
};

// Files-panel options the scan obeys.
struct TreeOptions {
	bool fullPath = false;   // archive nodes show the full path, else the file name
	bool autoExpand = false; // new archives are shown expanded
};

struct ScanResult {
	int archives = 0;     // archives found
	bool damaged = false; // something pointed outside the file or did not fit
	std::string damage;   // what, for the first damage found; empty when whole
};

// Scans the whole file for "bres" magics and records every archive found, its
// folders and its entries in `items` and, when given, in `tree`. A file may
// hold several archives, and an archive may start anywhere in a larger file.
// Nothing is recorded when no magic is found.
//
// Damaged directories list what they can: no item points outside the file and
// nothing is allocated beyond what the file's size could describe.
//
// `file` may be one archive cut out of a larger buffer that begins `base`
// bytes earlier (an expanded container): items then record offsets in that
// buffer and `inner`, the archive's path inside its container.
ScanResult ReadBRRES(ByteView& file, std::string_view path, OpenArchives& items, ItemTree* tree,
	const TreeOptions& options = {}, std::size_t base = 0, std::string_view inner = {});

// The kind a sub-file's four-byte magic stands for.
ItemKind KindFromMagic(std::uint32_t magic);

} // namespace zentarra
