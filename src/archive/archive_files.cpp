#include "archive/archive_files.h"

#include "base/file_io.h"

namespace zentarra {

const std::vector<std::uint8_t>* ArchiveFiles::Get(const std::string& path)
{
	for (auto it = files_.begin(); it != files_.end(); ++it) {
		if (it->path != path)
			continue;
		files_.splice(files_.begin(), files_, it);
		return files_.front().opened ? &files_.front().bytes : nullptr;
	}
	FileBytes read = ReadWholeFile(path);
	if (files_.size() >= keep_)
		files_.pop_back();
	files_.push_front(File{path, read.status == ReadStatus::Ok, std::move(read.bytes)});
	return files_.front().opened ? &files_.front().bytes : nullptr;
}

void ArchiveFiles::Put(std::string path, std::vector<std::uint8_t> bytes)
{
	for (auto it = files_.begin(); it != files_.end(); ++it) {
		if (it->path == path) {
			files_.erase(it);
			break;
		}
	}
	if (files_.size() >= keep_)
		files_.pop_back();
	files_.push_front(File{std::move(path), true, std::move(bytes)});
}

} // namespace zentarra
