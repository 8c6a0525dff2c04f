#include "archive/open_files.h"

#include "archive/containers.h"

#include <filesystem>

namespace zentarra {

std::optional<ContainerPath> SplitContainerPath(const std::string& path)
{
	std::error_code error;
	for (std::size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0;
		 slash = path.rfind('/', slash - 1)) {
		const std::string file = path.substr(0, slash);
		if (std::filesystem::is_regular_file(file, error))
			return ContainerPath{file, path.substr(slash + 1)};
	}
	return std::nullopt;
}

OpenResult OpenArchiveFile(const std::string& path, OpenArchives& items, ItemTree* tree, const TreeOptions& options)
{
	FileBytes file = ReadWholeFile(path);
	if (file.status == ReadStatus::Ok)
		return OpenArchiveBytes(std::move(file.bytes), path, "", items, tree, options);
	if (const std::optional<ContainerPath> inside = SplitContainerPath(path)) {
		file = ReadWholeFile(inside->file);
		if (file.status == ReadStatus::Ok)
			return OpenArchiveBytes(std::move(file.bytes), inside->file, inside->inner, items, tree, options);
	}
	OpenResult result;
	result.message = UserMessage{MessageIcon::Error, std::string(kCantOpenFile)};
	return result;
}

OpenResult OpenArchiveBytes(std::vector<std::uint8_t> file, const std::string& path, const std::string& only,
	OpenArchives& items, ItemTree* tree, const TreeOptions& options, std::vector<std::uint8_t>* bytes)
{
	OpenResult result;
	ExpandedFile expanded = ExpandFile(std::move(file));
	for (const ArchiveSegment& segment : expanded.segments) {
		if (!only.empty() && segment.inner != only)
			continue;
		ByteView view(std::span(expanded.bytes).subspan(segment.offset, segment.size));
		const ScanResult scan = ReadBRRES(view, path, items, tree, options, segment.offset, segment.inner);
		result.scan.archives += scan.archives;
		if (scan.damaged && !result.scan.damaged) {
			result.scan.damaged = true;
			result.scan.damage = segment.inner.empty() ? scan.damage : segment.inner + ": " + scan.damage;
		}
	}
	if (!expanded.warnings.empty() && !result.scan.damaged) {
		result.scan.damaged = true;
		result.scan.damage = expanded.warnings.front();
	}
	if (bytes)
		*bytes = std::move(expanded.bytes);
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
