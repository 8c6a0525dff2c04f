#include "cli/unpack_command.h"

#include "archive/containers.h"
#include "base/file_io.h"
#include "export/obj.h"

#include <filesystem>

namespace zentarra::cli {

namespace {

namespace fs = std::filesystem;

// Whether a path inside the container stays inside the output folder.
bool StaysInside(const std::string& path)
{
	if (path.empty() || path.front() == '/' || path.front() == '\\' || path.find(':') != std::string::npos)
		return false;
	for (const fs::path& part : fs::path(path))
		if (part == ".." || part == "." || part.empty())
			return false;
	return true;
}

} // namespace

int RunUnpack(const UnpackOptions& options, std::ostream& out, std::ostream& err)
{
	const FileBytes file = ReadWholeFile(options.file);
	if (file.status != ReadStatus::Ok) {
		err << options.file << ": Error: can't open file\n";
		return 1;
	}
	std::vector<std::string> warnings;
	const std::string name = fs::path(options.file).stem().string();
	std::vector<UnpackedFile> files = UnpackContainer(file.bytes, name.empty() ? "unpacked" : name, warnings);
	for (const std::string& warning : warnings)
		err << options.file << ": Warning: " << warning << '\n';
	if (files.empty() && !IsYaz0(file.bytes) && !IsU8(file.bytes)) {
		err << options.file << ": Error: not a Yaz0 or U8 container\n";
		return 1;
	}
	int status = 0;
	for (const UnpackedFile& inner : files) {
		if (!StaysInside(inner.path)) {
			err << options.file << ": Error: \"" << inner.path << "\" would be written outside " << options.output
				<< "; it is left out\n";
			status = 1;
			continue;
		}
		const fs::path target = fs::path(options.output) / inner.path;
		std::error_code error;
		fs::create_directories(target.parent_path(), error);
		if (!WriteFileAtomically(target, inner.bytes)) {
			err << target.string() << ": " << kCantWriteFile << '\n';
			status = 1;
			continue;
		}
		out << target.string() << '\n';
	}
	return status;
}

} // namespace zentarra::cli
