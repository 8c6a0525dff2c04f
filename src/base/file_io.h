// Whole-file reading and safe writing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace zentarra {

enum class ReadStatus {
	Ok,
	CannotOpen, // missing, unreadable, or not a regular file (a directory, say)
};

struct FileBytes {
	ReadStatus status = ReadStatus::CannotOpen;
	std::vector<std::uint8_t> bytes;
};

// Reads the whole file into memory in one go.
FileBytes ReadWholeFile(const std::filesystem::path& path);

// Writes the bytes to a temporary file beside `path` and renames it over
// `path` once complete, so a failed write never leaves a half-written target.
// Returns false (and leaves `path` untouched) on any failure.
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

} // namespace zentarra
