#include "view/export_all_dialog.h"

#include <algorithm>

namespace zentarra {

const std::vector<ExportAllList>& ExportAllLists()
{
	static const std::vector<ExportAllList> lists = {
		{13010, "Textures", {"(do not export)", "PNG", "TGA (export all textures)", "TGA (auto export with models)"}, 3},
		{13020, "Models", {"(do not export)", "MD5", "PSK", "OBJ"}, 2},
		{13030, "Animations", {"(do not export)", "PSA"}, 1},
	};
	return lists;
}

const std::vector<ExportAllCheck>& ExportAllChecks()
{
	static const std::vector<ExportAllCheck> checks = {
		{13040, "Overwrite existing files", false},
		{13050, "Separate files by type", false},
		{13060, "Create one folder for each brres file", false},
	};
	return checks;
}

ExportAllOptions ExportAllOptionsFor(const std::vector<int>& lists, const std::vector<bool>& checks)
{
	ExportAllOptions options;
	const auto list = [&](std::size_t i, int fallback) { return i < lists.size() ? lists[i] : fallback; };
	const auto check = [&](std::size_t i) { return i < checks.size() && checks[i]; };
	options.textures = list(0, options.textures);
	options.models = list(1, options.models);
	options.animations = list(2, options.animations);
	options.overwrite = check(0);
	options.separate = check(1);
	options.perArchive = check(2);
	options.jobs = std::max(1u, std::thread::hardware_concurrency());
	return options;
}

std::string ExportAllSummary(const ExportAllReport& report)
{
	std::string text = report.cancelled ? "Export cancelled.\n" : "Export finished.\n";
	text += std::to_string(report.written) + " files written, " + std::to_string(report.kept) +
		" kept as they were (already there), " + std::to_string(report.skipped + report.failed) + " skipped";
	if (report.failed > 0)
		text += " (" + std::to_string(report.failed) + " could not be written)";
	return text + ".";
}

ExportAllRun::ExportAllRun(const OpenArchives& items, ExportAllOptions options)
	: options_(std::move(options)), entries_(CountExportAllEntries(items, options_))
{
	options_.cancel = &cancel_;
	worker_ = std::thread([this, &items] {
		ExportAllReport report = ExportAll(items, options_, [this](const ExportedFile& line) {
			std::lock_guard lock(mutex_);
			lines_.push_back(line);
		});
		{
			std::lock_guard lock(mutex_);
			report_ = std::move(report);
		}
		finished_ = true;
	});
}

ExportAllRun::~ExportAllRun()
{
	cancel_ = true;
	if (worker_.joinable())
		worker_.join();
}

std::vector<ExportedFile> ExportAllRun::TakeLines()
{
	std::lock_guard lock(mutex_);
	std::vector<ExportedFile> taken;
	taken.swap(lines_);
	return taken;
}

const ExportAllReport& ExportAllRun::Wait()
{
	if (worker_.joinable())
		worker_.join();
	return report_;
}

} // namespace zentarra
