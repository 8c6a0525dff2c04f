#include "archive/archive_files.h"

#include "archive/containers.h"

namespace zentarra {

namespace {

using FileList = std::list<std::pair<std::string, FileContents>>;

// Moves the file to the front and returns it; null when not listed. A file
// that could not be read is listed with null contents, so it is not tried again.
FileList::iterator Find(FileList& files, const std::string& path)
{
	for (auto it = files.begin(); it != files.end(); ++it)
		if (it->first == path) {
			files.splice(files.begin(), files, it);
			return files.begin();
		}
	return files.end();
}

FileContents ReadContents(const std::string& path)
{
	FileBytes read = ReadArchiveFile(path);
	if (read.status != ReadStatus::Ok)
		return nullptr;
	return std::make_shared<const std::vector<std::uint8_t>>(std::move(read.bytes));
}

void PushFront(FileList& files, std::size_t keep, std::string path, FileContents contents)
{
	if (files.size() >= keep)
		files.pop_back();
	files.emplace_front(std::move(path), std::move(contents));
}

} // namespace

FileContents SharedArchiveFiles::Get(const std::string& path)
{
	std::lock_guard lock(mutex_);
	if (auto it = Find(files_, path); it != files_.end())
		return it->second;
	FileContents contents = ReadContents(path);
	PushFront(files_, keep_, path, contents);
	return contents;
}

const std::vector<std::uint8_t>* ArchiveFiles::Get(const std::string& path)
{
	if (auto it = Find(files_, path); it != files_.end())
		return it->second.get();
	Keep(path, shared_ ? shared_->Get(path) : ReadContents(path));
	return files_.front().second.get();
}

void ArchiveFiles::Put(std::string path, std::vector<std::uint8_t> bytes)
{
	if (auto it = Find(files_, path); it != files_.end())
		files_.erase(it);
	Keep(std::move(path), std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes)));
}

void ArchiveFiles::Keep(std::string path, FileContents contents)
{
	PushFront(files_, keep_, std::move(path), std::move(contents));
}

} // namespace zentarra
