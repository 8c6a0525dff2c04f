#include "cli/export_all_command.h"

#include "archive/open_files.h"
#include "export/export_all.h"

#include <algorithm>
#include <thread>

namespace zentarra::cli {

namespace {

int IndexOf(const std::vector<std::string>& choices, const std::string& choice)
{
	return int(std::find(choices.begin(), choices.end(), choice) - choices.begin());
}

} // namespace

int RunExportAll(const ExportAllCommandOptions& options, std::ostream& out, std::ostream& err)
{
	OpenArchives items;
	int status = 0;
	for (const std::string& path : options.archives) {
		const OpenResult opened = OpenArchiveFile(path, items, nullptr);
		if (opened.message)
			err << path << ": " << opened.message->text << '\n';
		if (opened.status != OpenStatus::Opened)
			status = 1;
	}

	ExportAllOptions batch;
	batch.textures = IndexOf({"none", "png", "tga", "tga-auto"}, options.textures);
	batch.models = IndexOf({"none", "md5", "psk", "obj", "glb", "gltf"}, options.models);
	batch.animations = IndexOf({"none", "psa"}, options.anims);
	batch.overwrite = options.overwrite;
	batch.separate = options.separate;
	batch.perArchive = options.perArchive;
	batch.jobs = options.jobs ? options.jobs : std::max(1u, std::thread::hardware_concurrency());

	const ExportAllReport report = ExportAll(items, batch, [&](const ExportedFile& file) {
		switch (file.outcome) {
		case ExportedFile::Outcome::Written:
			out << file.path << '\n';
			break;
		case ExportedFile::Outcome::KeptExisting:
			break;
		case ExportedFile::Outcome::Skipped:
		case ExportedFile::Outcome::Failed:
			err << file.archive << ": " << KindName(file.kind) << " \"" << file.entry << "\": "
				<< (file.path.empty() ? "" : file.path + ": ") << file.reason << '\n';
			break;
		}
	});
	const int failed = report.skipped + report.failed;
	out << report.written << " written, " << report.kept << " skipped as existing, " << failed << " failed\n";
	return failed > 0 ? 1 : status;
}

} // namespace zentarra::cli
