#include "archive/items.h"

#include "base/text.h"

#include <algorithm>

namespace zentarra {

std::string_view KindName(ItemKind kind)
{
	switch (kind) {
	case ItemKind::MDL0: return "MDL0";
	case ItemKind::TEX0: return "TEX0";
	case ItemKind::PLT0: return "PLT0";
	case ItemKind::CHR0: return "CHR0";
	case ItemKind::SHP0: return "SHP0";
	case ItemKind::Other: return "other";
	case ItemKind::Archive: return "archive";
	case ItemKind::Folder: return "folder";
	}
	return "other";
}

int OpenArchives::CreateItem(std::string_view path, std::string_view name, std::size_t offset, ItemKind kind, int archive,
	std::string_view inner, std::size_t base)
{
	const int id = nitems++;
	Item.push_back(ItemRecord{id, std::string(path), std::string(name), offset, kind, archive, std::string(inner), base});
	return id;
}

std::string ArchiveText(std::string_view path, std::string_view inner, bool fullPath)
{
	std::string text = fullPath ? std::string(path) : GetFileNameFromPath(path);
	if (!inner.empty())
		text += "/" + std::string(inner);
	return text;
}

const ItemRecord* OpenArchives::GetItem(int id) const
{
	// records are appended with rising ids and removed in runs, so the list stays sorted
	const auto it = std::lower_bound(Item.begin(), Item.end(), id,
		[](const ItemRecord& record, int wanted) { return record.id < wanted; });
	return it != Item.end() && it->id == id ? &*it : nullptr;
}

const ItemRecord* OpenArchives::GetLastItem() const
{
	return Item.empty() ? nullptr : &Item.back();
}

const ItemRecord* OpenArchives::FindItem(std::string_view name, ItemKind kind, int startId) const
{
	const auto matches = [&](const ItemRecord& record) { return record.kind == kind && record.name == name; };
	const ItemRecord* start = GetItem(startId);
	const auto split = start ? Item.begin() + (start - Item.data()) : Item.begin();

	if (const auto it = std::find_if(split, Item.end(), matches); it != Item.end())
		return &*it;
	if (const auto it = std::find_if(Item.begin(), split, matches); it != split)
		return &*it;
	return nullptr;
}

void OpenArchives::DeleteItemsFromFile(int archiveId)
{
	const ItemRecord* archive = GetItem(archiveId);
	if (!archive)
		return;
	const auto first = Item.begin() + (archive - Item.data());
	const auto last = std::find_if(first + 1, Item.end(),
		[](const ItemRecord& record) { return record.kind == ItemKind::Archive; });
	Item.erase(first, last);
}

void OpenArchives::DeleteAllItems()
{
	Item.clear();
}

} // namespace zentarra
