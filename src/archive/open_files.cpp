#include "archive/open_files.h"

#include "base/file_io.h"

namespace zentarra {

OpenResult OpenArchiveFile(const std::string& path, OpenArchives& items, ItemTree* tree, const TreeOptions& options)
{
	OpenResult result;
	const FileBytes file = ReadWholeFile(path);
	if (file.status != ReadStatus::Ok) {
		result.message = UserMessage{MessageIcon::Error, std::string(kCantOpenFile)};
		return result;
	}
	ByteView view(file.bytes);
	result.scan = ReadBRRES(view, path, items, tree, options);
	if (result.scan.archives == 0) {
		result.status = OpenStatus::NotBrres;
		result.message = UserMessage{MessageIcon::Error, std::string(kNotValidBrres)};
		return result;
	}
	result.status = OpenStatus::Opened;
	if (result.scan.damaged)
		result.message = UserMessage{MessageIcon::Warning, "Warning: the file is damaged and is listed only in part: " +
			result.scan.damage};
	return result;
}

std::optional<UserMessage> MessageForOpenedFiles(int failures, int files)
{
	if (failures <= 0)
		return std::nullopt;
	if (failures == 1 && files > 1)
		return UserMessage{MessageIcon::Warning, std::string(kOneSelectedInvalid)};
	if (failures >= files)
		return UserMessage{MessageIcon::Error, std::string(files == 1 ? kNotValidBrres : kNoneSelectedValid)};
	return UserMessage{MessageIcon::Warning, std::string(kSomeSelectedInvalid)};
}

std::string ArchivePathFromCommandLine(std::string_view commandLine)
{
	if (!commandLine.empty() && commandLine.front() == '"') {
		commandLine.remove_prefix(1);
		if (!commandLine.empty())
			commandLine.remove_suffix(1);
	}
	return std::string(commandLine);
}

} // namespace zentarra
