#include "cli/export_model_command.h"

#include "base/file_io.h"
#include "cli/model_entries.h"
#include "export/obj.h"

#include <span>

namespace zentarra::cli {

namespace {

bool WriteText(const std::string& path, const std::string& text)
{
	return WriteFileAtomically(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

int Fail(std::string_view message, std::ostream& err)
{
	err << message << '\n';
	return 1;
}

} // namespace

int RunExportModel(const ExportModelOptions& options, std::ostream& err)
{
	const OpenedArchive archive = OpenArchive(options.archive);
	if (!archive.error.empty())
		return Fail(archive.error, err);
	const std::vector<ModelEntry> entries = ModelEntries(archive.items);
	const FoundEntry found = FindModelEntry(entries, options.model);
	if (!found.entry)
		return Fail(found.error, err);

	LoadedModel model;
	const ModelReadResult read = ReadModelEntry(archive, *found.entry, model);
	if (!read.ok)
		return Fail(read.message, err);
	if (read.damaged)
		err << DamagedModelWarning(read) << '\n';

	// the library line names the entry, as the batch export names its files
	const std::string obj = ExportToOBJ(model.MD, model.names, found.entry->item.name, false);
	if (!WriteText(options.output, obj))
		return Fail(kCantWriteFile, err);
	if (!WriteMTL(options.output, model.MD))
		return Fail(kCantWriteMtl, err);
	return 0;
}

} // namespace zentarra::cli
