// What the model commands share: an archive file read into memory once, its
// MDL0 entries, and finding an entry by the name a user gives.
#pragma once

#include "archive/brres_directory.h"
#include "model/model.h"
#include "model/mdl0_reader.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zentarra::cli {

struct OpenedArchive {
	std::vector<std::uint8_t> bytes; // the whole file; entries' offsets point into it
	OpenArchives items;
	ScanResult scan;
	std::string error; // kCantOpenFile or kNotValidBrres; empty when opened
};

// Reads the file once and records the archives in it.
OpenedArchive OpenArchive(const std::string& path);

struct ModelEntry {
	ItemRecord item;
	std::string folder; // name of the folder holding the entry
};

// The MDL0 entries in list order.
std::vector<ModelEntry> ModelEntries(const OpenArchives& items);

// "folder/name".
std::string QualifiedName(const ModelEntry& entry);

struct FoundEntry {
	const ModelEntry* entry = nullptr; // into the entries searched
	std::string error;                 // when not found or ambiguous
};

// The entry named `name`, or `folder/name` where plain names repeat.
FoundEntry FindModelEntry(const std::vector<ModelEntry>& entries, std::string_view name);

// The MDL0 version at S+8.
std::uint32_t ModelVersion(const OpenedArchive& archive, const ModelEntry& entry);

// Reads the entry's model in the bind pose.
ModelReadResult ReadModelEntry(const OpenedArchive& archive, const ModelEntry& entry, LoadedModel& model);

// The warning to show for a model read with damage.
std::string DamagedModelWarning(const ModelReadResult& result);

} // namespace zentarra::cli
