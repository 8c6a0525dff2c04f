// The batch export: every texture, model and animation of the open archives
// written into an "exported/" folder beside each archive file.
//
// The work runs in three rounds, all textures, then all models, then all
// animations, each in list order. Entries are independent, so several
// threads decode and encode them, while the files are created, checked and
// written strictly in that order: the folders and files written, and their
// bytes, are the same for any number of threads.
#pragma once

#include "archive/items.h"
#include "model/model.h"

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zentarra {

// The choices of the "Export All Files" dialog, with its initial values.
struct ExportAllOptions {
	int textures = 3;   // 0 none, 1 PNG, 2 TGA, 3 TGA of the exported models' materials
	int models = 2;     // 0 none, 1 MD5, 2 PSK, 3 OBJ, 4 glb, 5 gltf (these two with every CHR0 and SHP0 of the model's file that animates it)
	int animations = 1; // 0 none, 1 PSA
	bool overwrite = false;  // "Overwrite existing files"
	bool separate = false;   // "Separate files by type": textures/ and animations/ subfolders
	bool perArchive = false; // "Create one folder for each brres file"
	unsigned jobs = 1;       // threads decoding and encoding
	// When given and set, the batch stops after the entry being written:
	// every file already written stays whole.
	const std::atomic<bool>* cancel = nullptr;
};

struct ExportedFile {
	enum class Outcome {
		Written,
		KeptExisting, // the file existed and overwriting was off
		Skipped,      // the entry could not be read or decoded, or lacks a palette
		Failed,       // the file or its folder could not be written
	};
	std::string archive; // the archive file of the entry
	std::string entry;   // the entry's name
	ItemKind kind = ItemKind::Other; // of the entry: TEX0 also for a model's texture
	std::string path;    // the file, when it got that far
	Outcome outcome = Outcome::Skipped;
	std::string reason;  // for Skipped and Failed
};

struct ExportAllReport {
	std::vector<ExportedFile> files; // in the order the work was done
	int written = 0, kept = 0, skipped = 0, failed = 0;
	bool cancelled = false; // stopped by options.cancel before the last entry
};

// How many entries a batch with these choices visits (the files it writes
// may be more: a model brings its textures along).
int CountExportAllEntries(const OpenArchives& items, const ExportAllOptions& options);

// The folder, ending with "/", of the files of an entry of the archive file
// at `archivePath` (textures: kind TEX0; animations: CHR0; models: MDL0):
// the archive's directory, "exported/", with perArchive the archive's file
// name and "/", with separate "textures/" or "animations/". A path without a
// directory exports into "exported/" of the current directory.
std::string ExportFolder(std::string_view archivePath, ItemKind kind, bool separate, bool perArchive);

// Runs the batch over the items. `progress`, when given, sees every file's
// line as soon as its outcome is known, in order, on the calling thread.
ExportAllReport ExportAll(const OpenArchives& items, const ExportAllOptions& options,
	const std::function<void(const ExportedFile&)>& progress = {});

// The viewer's batch: a batch with models first unloads the model on display.
ExportAllReport ExportAll(const OpenArchives& items, const ExportAllOptions& options, LoadedModel& shown,
	const std::function<void(const ExportedFile&)>& progress = {});

} // namespace zentarra
