#include "cli/archive_entries.h"

#include "anim/anim_loading.h"
#include "anim/skinning.h"
#include "archive/open_files.h"
#include "base/file_io.h"

#include <filesystem>
#include <sstream>

namespace zentarra::cli {

OpenedArchive OpenArchive(const std::string& path)
{
	OpenedArchive archive;
	archive.path = path;
	std::string inner;
	FileBytes file = ReadWholeFile(path);
	if (file.status != ReadStatus::Ok) {
		if (const std::optional<ContainerPath> inside = SplitContainerPath(path)) {
			archive.path = inside->file;
			inner = inside->inner;
			file = ReadWholeFile(archive.path);
		}
		if (file.status != ReadStatus::Ok) {
			archive.error = kCantOpenFile;
			return archive;
		}
	}
	const OpenResult opened =
		OpenArchiveBytes(std::move(file.bytes), archive.path, inner, archive.items, nullptr, {}, &archive.bytes);
	archive.scan = opened.scan;
	if (opened.status != OpenStatus::Opened)
		archive.error = kNotValidBrres;
	return archive;
}

std::vector<Entry> Entries(const OpenArchives& items, ItemKind kind)
{
	std::vector<Entry> entries;
	std::string folder;
	for (const ItemRecord& item : items.items()) {
		// list order: a folder's entries follow it
		if (item.kind == ItemKind::Folder)
			folder = item.name;
		else if (item.kind == ItemKind::Archive)
			folder.clear();
		else if (item.kind == kind)
			entries.push_back(Entry{item, folder});
	}
	return entries;
}

std::string QualifiedName(const Entry& entry)
{
	return entry.folder + "/" + entry.item.name;
}

FoundEntry FindEntry(const std::vector<Entry>& entries, std::string_view name, std::string_view what)
{
	std::vector<const Entry*> matches;
	for (const Entry& entry : entries)
		if (entry.item.name == name || QualifiedName(entry) == name)
			matches.push_back(&entry);

	FoundEntry found;
	if (matches.size() == 1) {
		found.entry = matches.front();
		return found;
	}
	const std::string quoted = "\"" + std::string(name) + "\"";
	if (matches.empty()) {
		found.error = "Error: no " + std::string(what) + " named " + quoted;
		std::string known;
		for (const Entry& entry : entries)
			known += (known.empty() ? "" : ", ") + QualifiedName(entry);
		found.error += known.empty() ? "; the file holds no " + std::string(what) : "; its " + std::string(what) + "s are " + known;
		return found;
	}
	found.error = "Error: more than one " + std::string(what) + " is named " + quoted + "; name one as folder/name:";
	for (std::size_t i = 0; i < matches.size(); ++i)
		found.error += (i ? ", " : " ") + QualifiedName(*matches[i]);
	return found;
}

ResolvedEntry ResolveEntry(const OpenedArchive& archive, const std::string& named, ItemKind kind, std::string_view what,
	OpenedArchive& other)
{
	ResolvedEntry resolved;
	resolved.archive = &archive;
	std::string name = named;
	// OTHER:NAME when OTHER is a file; otherwise the colon belongs to the name
	const std::size_t colon = named.find(':');
	if (colon != std::string::npos && std::filesystem::is_regular_file(named.substr(0, colon))) {
		other = OpenArchive(named.substr(0, colon));
		if (!other.error.empty()) {
			resolved.error = named.substr(0, colon) + ": " + other.error;
			return resolved;
		}
		resolved.archive = &other;
		name = named.substr(colon + 1);
	}
	resolved.entries = Entries(resolved.archive->items, kind);
	FoundEntry found = FindEntry(resolved.entries, name, what);
	resolved.entry = found.entry;
	resolved.error = std::move(found.error);
	return resolved;
}

std::uint32_t ModelVersion(const OpenedArchive& archive, const Entry& entry)
{
	ByteView view(archive.bytes);
	return R32(view, entry.item.offset + 8);
}

ModelReadResult ReadModelEntry(const OpenedArchive& archive, const Entry& entry, LoadedModel& model)
{
	ByteView view(archive.bytes);
	return ReadModel(view, entry.item.offset, entry.item.name, model);
}

std::string PoseAtFrame(LoadedModel& model, const OpenedArchive& archive, const std::string& anim, float frame,
	std::ostream& err)
{
	OpenedArchive other;
	const ResolvedEntry found = ResolveEntry(archive, anim, ItemKind::CHR0, "bone animation", other);
	if (!found.entry)
		return found.error;
	ByteView view(found.archive->bytes);
	const AnimLoadResult loaded = LoadAnimation(model, view, found.entry->item.offset, found.entry->item.name, 0);
	if (!loaded.ok)
		return loaded.message;
	if (!loaded.message.empty())
		err << loaded.message << '\n';
	if (!(frame >= 0 && frame < float(model.anim.nFrames))) {
		std::ostringstream message;
		message << "Error: frame " << frame << " is outside the animation's frames 0 to " << model.anim.nFrames - 1;
		return message.str();
	}
	model.anim.frame = frame;
	for (BoneAnim& bone : model.anim.bones)
		bone.frame = frame;
	RecalculateModel(model.MD, model.nodelist, model.anim);
	return "";
}

std::string DamagedModelWarning(const ModelReadResult& result)
{
	return "Warning: the model is damaged and was read only in part: " + result.message;
}

} // namespace zentarra::cli
