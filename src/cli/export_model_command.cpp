#include "cli/export_model_command.h"

#include "base/file_io.h"
#include "cli/archive_entries.h"
#include "export/auto_export.h"
#include "export/md5.h"
#include "export/obj.h"
#include "export/psk.h"

#include <filesystem>
#include <span>

namespace zentarra::cli {

namespace {

std::span<const std::uint8_t> Bytes(const std::string& text)
{
	return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

int Fail(std::string_view message, std::ostream& err)
{
	err << message << '\n';
	return 1;
}

} // namespace

int RunExportModel(const ExportModelOptions& options, std::ostream& out, std::ostream& err)
{
	OpenedArchive archive = OpenArchive(options.archive);
	if (!archive.error.empty())
		return Fail(archive.error, err);
	const std::vector<Entry> entries = ModelEntries(archive.items);
	const FoundEntry found = FindModelEntry(entries, options.model);
	if (!found.entry)
		return Fail(found.error, err);

	auto model = std::make_unique<LoadedModel>();
	const ModelReadResult read = ReadModelEntry(archive, *found.entry, *model);
	if (!read.ok)
		return Fail(read.message, err);
	if (read.damaged)
		err << DamagedModelWarning(read) << '\n';
	if (!options.anim.empty())
		if (const std::string error = PoseAtFrame(*model, archive, options.anim, options.frame, err); !error.empty())
			return Fail(error, err);

	if (options.format == "psk") {
		const BinaryExport psk = ExportToPSK(*model, false);
		if (!psk.ok)
			return Fail(psk.message, err);
		if (!WriteFileAtomically(options.output, psk.bytes))
			return Fail(kCantWriteFile, err);
	} else if (options.format == "md5") {
		if (!WriteFileAtomically(options.output, Bytes(ExportToMD5(*model, false))))
			return Fail(kCantWriteFile, err);
	} else {
		// the library line names the entry, as the batch export names its files
		if (!WriteFileAtomically(options.output, Bytes(ExportToOBJ(model->MD, model->names, found.entry->item.name, false))))
			return Fail(kCantWriteFile, err);
		if (!WriteMTL(options.output, model->MD))
			return Fail(kCantWriteMtl, err);
	}
	if (!options.textures)
		return 0;

	// the model file's folder with its separator, "" for the current one
	std::string folder = std::filesystem::path(options.output).parent_path().string();
	if (!folder.empty() && folder.back() != '/')
		folder += '/';
	const int modelArchive = found.entry->item.archive;
	ArchiveFiles files;
	files.Put(archive.path, std::move(archive.bytes));
	int status = 0;
	for (const TextureExport& line : AutoExport(model->MD, modelArchive, archive.items, files, folder, 1)) {
		const std::string material = "material " + std::to_string(line.material + 1) + " (\"" + line.texture + "\")";
		switch (line.outcome) {
		case TextureExport::Outcome::Written:
		case TextureExport::Outcome::KeptExisting:
			out << line.path << '\n';
			break;
		case TextureExport::Outcome::Skipped:
			err << "Warning: " << material << ": texture not written: " << line.reason << '\n';
			break;
		case TextureExport::Outcome::Failed:
			err << material << ": " << line.path << ": " << line.reason << '\n';
			status = 1;
			break;
		}
	}
	return status;
}

} // namespace zentarra::cli
