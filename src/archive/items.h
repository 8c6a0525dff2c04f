// The loaded-items list: every archive, folder and entry of the open files.
//
// Every later action (load a model, open a texture, export) starts from an
// item record: its path names the file to read again, its offset says where
// the sub-file starts, its kind says what it is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zentarra {

// What the user is told when the archive file of a chosen entry no longer
// opens (moved or deleted since it was listed).
inline constexpr std::string_view kCantOpenEntryFile = "Can't open file";

// Kind codes; 5 to 9 are never produced.
enum class ItemKind : int {
	MDL0 = 0,
	TEX0 = 1,
	PLT0 = 2,
	CHR0 = 3,
	SHP0 = 4,
	Other = 10, // a sub-file whose magic is none of the five above
	Archive = 11,
	Folder = 12,
};

// "MDL0", "TEX0", …, "other", "archive", "folder".
std::string_view KindName(ItemKind kind);

struct ItemRecord {
	int id = 0;          // unique while the list lives; the files panel's node parameter
	std::string path;    // the file the item was read from, as it was opened
	std::string name;    // archive: the path again; folder or entry: its name in the directory
	std::size_t offset = 0; // archive: its magic; folder: its index group; entry: its sub-file
	ItemKind kind = ItemKind::Other;
	int archive = 0;     // id of the archive item this item belongs to (an archive holds its own)
	std::string inner;   // the archive's path inside its container ("a.szs" holds "a/b.brres"); empty for a loose file
	std::size_t base = 0; // where that inner file begins in the expanded container; 0 for a loose file
};

// The files panel's text for an archive: its file's name, or with `fullPath`
// its whole path; for an archive from a container, then "/" and its path there.
std::string ArchiveText(std::string_view path, std::string_view inner, bool fullPath);

// The open archives. List order: an archive item, then its folders each
// followed by its entries, then the next archive; so every archive item starts
// the run of items that belong to it.
class OpenArchives {
public:
	// Appends a record with id = nitems, then counts it; returns the id.
	int CreateItem(std::string_view path, std::string_view name, std::size_t offset, ItemKind kind, int archive,
		std::string_view inner = {}, std::size_t base = 0);

	// The record with that id, or null. Valid until the list next changes.
	const ItemRecord* GetItem(int id) const;
	const ItemRecord* GetLastItem() const;

	// First record of that kind named exactly `name`, searched from the record
	// with id `startId` to the end, then from the head up to it; the whole list
	// from the head when no record has that id. So a model's own archive is
	// searched first, then archives opened after it, then those before it.
	const ItemRecord* FindItem(std::string_view name, ItemKind kind, int startId) const;

	// Removes the archive item with that id and the run of items belonging to
	// it; a missing id changes nothing.
	void DeleteItemsFromFile(int archiveId);

	// Empties the list. Ids go on counting: only ResetIds starts them again.
	void DeleteAllItems();
	// The close-all command: empties the list and restarts ids at 0.
	void ResetIds()
	{
		DeleteAllItems();
		nitems = 0;
	}

	const std::vector<ItemRecord>& items() const { return Item; }
	int nextId() const { return nitems; }

private:
	std::vector<ItemRecord> Item; // ids ascend along the list
	int nitems = 0;
};

} // namespace zentarra
