#include "export/png.h"

#include "base/file_io.h"

#include <csetjmp>
#include <cstdio>
#include <limits>
#include <png.h>
#include <string>

namespace zentarra {

namespace {

// libpng calls these with the vector given to png_set_write_fn.
void AppendPngBytes(png_structp png, png_bytep data, std::size_t length)
{
	auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
	bool appended = true;
	try {
		out->insert(out->end(), data, data + length);
	} catch (...) {
		appended = false;
	}
	// note: raised outside the catch, so the jump leaves no handler half-run
	if (!appended)
		png_error(png, "out of memory");
}

// Without it libpng's default flush would treat our vector as a FILE*.
void FlushNothing(png_structp) {}

// A libpng error abandons the image quietly (the default prints, and without
// a jump buffer aborts); warnings are dropped as the core prints nothing.
[[noreturn]] void AbandonImage(png_structp png, png_const_charp)
{
	png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

// The encoding steps proper; false when libpng raised an error. This frame
// holds nothing with a destructor, so the error's longjmp back here skips
// none; the row pointers and the output live in the caller.
bool EncodeRgba(png_structp png, png_infop info, std::vector<std::uint8_t>* out, png_uint_32 width,
	png_uint_32 height, png_bytepp rows, int level)
{
	if (setjmp(png_jmpbuf(png)))
		return false;
	png_set_write_fn(png, out, AppendPngBytes, FlushNothing);
	png_set_compression_level(png, level);
	png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
		PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
	png_set_rows(png, info, rows);
	png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
	return true;
}

} // namespace

std::optional<std::size_t> RgbaByteCount(int width, int height)
{
	if (width < 0 || height < 0)
		return std::nullopt;
	const std::size_t w = std::size_t(width), h = std::size_t(height);
	if (h != 0 && w > std::numeric_limits<std::size_t>::max() / 4 / h)
		return std::nullopt;
	return w * h * 4;
}

bool WritePNG(std::vector<std::uint8_t>& out, int width, int height, std::span<const std::uint8_t> rgba, int level)
{
	const std::optional<std::size_t> size = RgbaByteCount(width, height);
	if (!size || rgba.size() < *size)
		return false;

	// note: the compiled-in version, as libpng refuses another major.minor
	png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
	if (!png)
		return false;
	png_set_error_fn(png, nullptr, AbandonImage, IgnoreWarning);
	png_infop info = png_create_info_struct(png);
	if (!info) {
		png_destroy_write_struct(&png, nullptr);
		return false;
	}

	const std::size_t original = out.size();
	bool written = false;
	try {
		// top row first; libpng only reads them under the identity transform
		std::vector<png_bytep> rows(static_cast<std::size_t>(height));
		const std::size_t stride = std::size_t(width) * 4;
		for (std::size_t y = 0; y < rows.size(); ++y)
			rows[y] = const_cast<png_bytep>(rgba.data() + y * stride);
		written = EncodeRgba(png, info, &out, png_uint_32(width), png_uint_32(height), rows.data(), level);
	} catch (...) {
		written = false; // the row pointers did not fit in memory
	}
	png_destroy_write_struct(&png, &info);
	if (!written)
		out.resize(original);
	return written;
}

std::filesystem::path AutoExportPath(std::string_view folder, std::string_view texName, std::string_view extension)
{
	std::string path(folder);
	path += texName;
	path += extension;
	return path;
}

bool KeepExistingFile(const std::filesystem::path& path, int overwrite)
{
	if (overwrite != 0)
		return false;
	std::FILE* file = std::fopen(path.c_str(), "rb");
	if (!file)
		return false;
	std::fclose(file);
	return true;
}

bool AutoExportToPNG(int width, int height, std::span<const std::uint8_t> rgba, std::string_view texName,
	std::string_view folder, int overwrite)
{
	try {
		const std::filesystem::path path = AutoExportPath(folder, texName, ".png");
		if (KeepExistingFile(path, overwrite))
			return true;
		std::vector<std::uint8_t> bytes;
		return WritePNG(bytes, width, height, rgba) && WriteFileAtomically(path, bytes);
	} catch (...) {
		return false; // out of memory for the path or the image
	}
}

} // namespace zentarra
