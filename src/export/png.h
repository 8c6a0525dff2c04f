// PNG images through libpng, and the pieces the image exports share.
//
// Every image is an RGBA buffer of width * height * 4 bytes, 8 bits per
// channel in the order R, G, B, A, rows one after another from the top row,
// without padding. The writers only read it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace zentarra {

// width * height * 4, or nothing for a negative size or one that overflows.
std::optional<std::size_t> RgbaByteCount(int width, int height);

// Appends a complete PNG of the image to `out`: 8-bit RGBA, zlib compression
// `level` (0 to 9), not interlaced, whatever the texture's source format. False when rgba is
// shorter than the image or libpng refuses it (a zero or oversized dimension,
// say); `out` is then as it was.
bool WritePNG(std::vector<std::uint8_t>& out, int width, int height, std::span<const std::uint8_t> rgba, int level = 9);

// folder + texName + extension, joined as text: the folder ends with its
// own separator, and none is inserted.
std::filesystem::path AutoExportPath(std::string_view folder, std::string_view texName, std::string_view extension);

// True when overwrite is 0 and the file can already be opened for reading:
// a silent export then leaves it untouched.
bool KeepExistingFile(const std::filesystem::path& path, int overwrite);

// Writes folder + texName + ".png" without asking, replacing an existing file
// only when overwrite is set. True when the file was written or kept; false
// when the image or the file could not be written (nothing is left behind).
bool AutoExportToPNG(int width, int height, std::span<const std::uint8_t> rgba, std::string_view texName,
	std::string_view folder, int overwrite);

} // namespace zentarra
