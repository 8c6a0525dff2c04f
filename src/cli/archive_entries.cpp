#include "cli/model_entries.h"

#include "archive/open_files.h"
#include "base/file_io.h"

namespace zentarra::cli {

OpenedArchive OpenArchive(const std::string& path)
{
	OpenedArchive archive;
	FileBytes file = ReadWholeFile(path);
	if (file.status != ReadStatus::Ok) {
		archive.error = kCantOpenFile;
		return archive;
	}
	archive.bytes = std::move(file.bytes);
	ByteView view(archive.bytes);
	archive.scan = ReadBRRES(view, path, archive.items, nullptr);
	if (archive.scan.archives == 0)
		archive.error = kNotValidBrres;
	return archive;
}

std::vector<ModelEntry> ModelEntries(const OpenArchives& items)
{
	std::vector<ModelEntry> entries;
	std::string folder;
	for (const ItemRecord& item : items.items()) {
		// list order: a folder's entries follow it
		if (item.kind == ItemKind::Folder)
			folder = item.name;
		else if (item.kind == ItemKind::Archive)
			folder.clear();
		else if (item.kind == ItemKind::MDL0)
			entries.push_back(ModelEntry{item, folder});
	}
	return entries;
}

std::string QualifiedName(const ModelEntry& entry)
{
	return entry.folder + "/" + entry.item.name;
}

FoundEntry FindModelEntry(const std::vector<ModelEntry>& entries, std::string_view name)
{
	std::vector<const ModelEntry*> matches;
	for (const ModelEntry& entry : entries)
		if (entry.item.name == name || QualifiedName(entry) == name)
			matches.push_back(&entry);

	FoundEntry found;
	if (matches.size() == 1) {
		found.entry = matches.front();
		return found;
	}
	const std::string quoted = "\"" + std::string(name) + "\"";
	if (matches.empty()) {
		found.error = "Error: no model named " + quoted;
		std::string known;
		for (const ModelEntry& entry : entries)
			known += (known.empty() ? "" : ", ") + QualifiedName(entry);
		found.error += known.empty() ? "; the file holds no model" : "; its models are " + known;
		return found;
	}
	found.error = "Error: more than one model is named " + quoted + "; name one as folder/name:";
	for (std::size_t i = 0; i < matches.size(); ++i)
		found.error += (i ? ", " : " ") + QualifiedName(*matches[i]);
	return found;
}

std::uint32_t ModelVersion(const OpenedArchive& archive, const ModelEntry& entry)
{
	ByteView view(archive.bytes);
	return R32(view, entry.item.offset + 8);
}

ModelReadResult ReadModelEntry(const OpenedArchive& archive, const ModelEntry& entry, LoadedModel& model)
{
	ByteView view(archive.bytes);
	ModelReadResult result = ReadModel(view, entry.item.offset, model);
	if (!result.ok && result.message.empty())
		result.message = kNoVertices;
	return result;
}

std::string DamagedModelWarning(const ModelReadResult& result)
{
	return "Warning: the model is damaged and was read only in part: " + result.message;
}

} // namespace zentarra::cli
