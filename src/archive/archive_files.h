// Archive files held in memory for the length of one action.
//
// An action such as decoding a texture with its palette, exporting a model's
// textures or a batch export reaches into the same few archives again and
// again; each is read from disk once and kept while the action runs. The
// most recently used files are kept, so a batch over a whole folder does not
// hold every archive at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zentarra {

using FileContents = std::shared_ptr<const std::vector<std::uint8_t>>;

// The files of an action shared by several threads: each file is read once
// however many threads ask for it.
class SharedArchiveFiles {
public:
	explicit SharedArchiveFiles(std::size_t keep = 8) : keep_(keep > 0 ? keep : 1) {}

	// The whole file, or null when it cannot be read.
	FileContents Get(const std::string& path);

private:
	std::mutex mutex_;
	std::size_t keep_;
	std::list<std::pair<std::string, FileContents>> files_; // most recently used first
};

// The files one thread uses; not to be shared between threads.
class ArchiveFiles {
public:
	explicit ArchiveFiles(std::size_t keep = 4, SharedArchiveFiles* shared = nullptr)
		: keep_(keep > 0 ? keep : 1), shared_(shared)
	{
	}

	// The whole file, or null when it cannot be read. The pointer stays valid
	// until `keep` other files have been asked for.
	const std::vector<std::uint8_t>* Get(const std::string& path);

	// Hands over a file the caller has already read, so it is not read again.
	void Put(std::string path, std::vector<std::uint8_t> bytes);

private:
	void Keep(std::string path, FileContents contents);

	std::size_t keep_;
	SharedArchiveFiles* shared_;
	std::list<std::pair<std::string, FileContents>> files_; // most recently used first
};

} // namespace zentarra
