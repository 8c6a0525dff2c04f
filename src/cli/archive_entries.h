// What the commands share: an archive file read into memory once, its
// entries of one kind, and finding an entry by the name a user gives.
#pragma once

#include "archive/brres_directory.h"
#include "model/model.h"
#include "model/mdl0_reader.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace zentarra::cli {

struct OpenedArchive {
	std::string path;                // the file read (without a path inside a container)
	std::vector<std::uint8_t> bytes; // the file, containers expanded; entries' offsets point into it
	OpenArchives items;
	ScanResult scan;
	std::string error; // kCantOpenFile or kNotValidBrres; empty when opened
};

// Reads the file once and records the archives in it.
OpenedArchive OpenArchive(const std::string& path);

struct Entry {
	ItemRecord item;
	std::string folder; // name of the folder holding the entry
};

// The entries of that kind in list order.
std::vector<Entry> Entries(const OpenArchives& items, ItemKind kind);
inline std::vector<Entry> ModelEntries(const OpenArchives& items)
{
	return Entries(items, ItemKind::MDL0);
}

// "folder/name".
std::string QualifiedName(const Entry& entry);

struct FoundEntry {
	const Entry* entry = nullptr; // into the entries searched
	std::string error;                 // when not found or ambiguous
};

// The entry named `name`, or `folder/name` where plain names repeat. `what`
// names the kind in messages: "model", "texture", ...
FoundEntry FindEntry(const std::vector<Entry>& entries, std::string_view name, std::string_view what);
inline FoundEntry FindModelEntry(const std::vector<Entry>& entries, std::string_view name)
{
	return FindEntry(entries, name, "model");
}

// An entry named on the command line as NAME (in `archive`) or OTHER:NAME
// (in the archive file OTHER, read into `other`): models and their
// animations often live in separate files.
struct ResolvedEntry {
	const OpenedArchive* archive = nullptr;
	const Entry* entry = nullptr; // into `entries`
	std::vector<Entry> entries;
	std::string error;
};
ResolvedEntry ResolveEntry(const OpenedArchive& archive, const std::string& named, ItemKind kind, std::string_view what,
	OpenedArchive& other);

// The MDL0 version at S+8.
std::uint32_t ModelVersion(const OpenedArchive& archive, const Entry& entry);

// Reads the entry's model in the bind pose.
ModelReadResult ReadModelEntry(const OpenedArchive& archive, const Entry& entry, LoadedModel& model);

// Poses the model at `frame` of the CHR0 named NAME or OTHER.brres:NAME;
// the error message, or "". Warnings go to `err`.
std::string PoseAtFrame(LoadedModel& model, const OpenedArchive& archive, const std::string& anim, float frame,
	std::ostream& err);

// The warning to show for a model read with damage.
std::string DamagedModelWarning(const ModelReadResult& result);

} // namespace zentarra::cli
