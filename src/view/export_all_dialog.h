// The "Export All Files" dialog's content (its lists, check boxes and
// initial choices) and the batch it starts, run on a thread of its own so
// the window keeps drawing: the front polls it for the files written and
// may ask it to stop after the entry being written.
#pragma once

#include "archive/items.h"
#include "export/export_all.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zentarra {

inline constexpr const char* kExportAllTitle = "Export All Files";

struct ExportAllList {
	int id = 0;           // 13010 textures, 13020 models, 13030 animations
	std::string label;    // "Textures"
	std::vector<std::string> entries;
	int initial = 0;
};

struct ExportAllCheck {
	int id = 0; // 13040, 13050, 13060
	std::string label;
	bool initial = false;
};

const std::vector<ExportAllList>& ExportAllLists();
const std::vector<ExportAllCheck>& ExportAllChecks();

// The options for the dialog's choices: list indices in the order of
// ExportAllLists, check box states in the order of ExportAllChecks.
ExportAllOptions ExportAllOptionsFor(const std::vector<int>& lists, const std::vector<bool>& checks);

// The closing note of a batch: how many files were written, kept and
// skipped, and whether it was cancelled.
std::string ExportAllSummary(const ExportAllReport& report);

// One batch over the items, on a thread of its own. The items must stay
// unchanged until it has finished (the front's dialog is modal).
class ExportAllRun {
public:
	ExportAllRun(const OpenArchives& items, ExportAllOptions options);
	~ExportAllRun(); // stops the batch after the entry being written and waits for it
	ExportAllRun(const ExportAllRun&) = delete;
	ExportAllRun& operator=(const ExportAllRun&) = delete;

	int entries() const { return entries_; } // entries the batch visits
	// Stops after the entry being written.
	void Cancel() { cancel_ = true; }
	bool finished() const { return finished_; }
	// The lines recorded since the last call.
	std::vector<ExportedFile> TakeLines();
	// Waits for the end; the report.
	const ExportAllReport& Wait();

private:
	ExportAllOptions options_;
	int entries_ = 0;
	std::atomic<bool> cancel_{false};
	std::atomic<bool> finished_{false};
	std::mutex mutex_;
	std::vector<ExportedFile> lines_;
	ExportAllReport report_;
	std::thread worker_; // last: started once everything else is ready
};

} // namespace zentarra
