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
#include <string>
#include <vector>

namespace zentarra {

class ArchiveFiles {
public:
	explicit ArchiveFiles(std::size_t keep = 4) : keep_(keep > 0 ? keep : 1) {}

	// The whole file, or null when it cannot be read. The pointer stays valid
	// until `keep` other files have been asked for.
	const std::vector<std::uint8_t>* Get(const std::string& path);

	// Hands over a file the caller has already read, so it is not read again.
	void Put(std::string path, std::vector<std::uint8_t> bytes);

private:
	struct File {
		std::string path;
		bool opened = false;
		std::vector<std::uint8_t> bytes;
	};
	std::size_t keep_;
	std::list<File> files_; // most recently used first
};

} // namespace zentarra
