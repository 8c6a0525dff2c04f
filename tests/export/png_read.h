// Reading PNG files back through libpng's own reader.
#pragma once

#include <png.h>

#include <cstdint>
#include <vector>

namespace zentarra::testing {

// The image as 8-bit RGBA; empty when libpng cannot read it.
inline std::vector<std::uint8_t> DecodePNG(const std::vector<std::uint8_t>& file, int* width = nullptr, int* height = nullptr)
{
	png_image image{};
	image.version = PNG_IMAGE_VERSION;
	if (!png_image_begin_read_from_memory(&image, file.data(), file.size()))
		return {};
	image.format = PNG_FORMAT_RGBA;
	std::vector<std::uint8_t> rgba(PNG_IMAGE_SIZE(image));
	if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr))
		return {};
	if (width)
		*width = int(image.width);
	if (height)
		*height = int(image.height);
	return rgba;
}

} // namespace zentarra::testing
