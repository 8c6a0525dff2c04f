// Uncompressed true-colour TGA images, written byte by byte.
//
// The image is an RGBA buffer as for PNG (see export/png.h). The file is
// 24 bits per pixel when every alpha is 255 and 32 bits otherwise, rows from
// the bottom up behind a bottom-left origin, so it shows the right way up.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace zentarra {

// Appends the 18-byte header and the pixels (B, G, R and, at 32 bits, A) to
// `out`. Width and height keep only their low 16 bits in the header. False,
// with `out` unchanged, when rgba is shorter than the image or a size is
// negative.
bool WriteTGA(std::vector<std::uint8_t>& out, int width, int height, std::span<const std::uint8_t> rgba);

// Writes folder + texName + ".tga" as AutoExportToPNG writes its PNG.
bool AutoExportToTGA(int width, int height, std::span<const std::uint8_t> rgba, std::string_view texName,
	std::string_view folder, int overwrite);

} // namespace zentarra
