#include "export/tga.h"

#include "base/file_io.h"
#include "export/png.h"

#include <cstring>

namespace zentarra {

namespace {

// Little-endian byte sink over the caller's vector.
struct LeSink {
	std::vector<std::uint8_t>& bytes;

	void u8(std::uint8_t value) { bytes.push_back(value); }
	void le16(std::uint16_t value)
	{
		bytes.push_back(std::uint8_t(value));
		bytes.push_back(std::uint8_t(value >> 8));
	}
	void zeros(std::size_t count) { bytes.insert(bytes.end(), count, 0); }
};

bool HasAlpha(std::span<const std::uint8_t> rgba)
{
	for (std::size_t i = 3; i < rgba.size(); i += 4)
		if (rgba[i] != 255)
			return true;
	return false;
}

// Bottom row first, each pixel B, G, R[, A]; the pixel size is a constant so
// that the copy compiles to plain moves.
template <std::size_t PixelBytes>
void PutPixels(std::uint8_t* out, const std::uint8_t* rgba, std::size_t width, std::size_t height)
{
	const std::size_t stride = width * 4;
	for (std::size_t y = height; y-- > 0;) {
		const std::uint8_t* p = rgba + y * stride;
		for (const std::uint8_t* end = p + stride; p != end; p += 4, out += PixelBytes) {
			const std::uint8_t bgra[4] = {p[2], p[1], p[0], p[3]};
			std::memcpy(out, bgra, PixelBytes);
		}
	}
}

} // namespace

bool WriteTGA(std::vector<std::uint8_t>& out, int width, int height, std::span<const std::uint8_t> rgba)
{
	const std::optional<std::size_t> size = RgbaByteCount(width, height);
	if (!size || rgba.size() < *size)
		return false;
	rgba = rgba.first(*size);
	const bool alpha = HasAlpha(rgba);
	const std::size_t pixelBytes = alpha ? 4 : 3;

	const std::size_t original = out.size();
	try {
		out.reserve(original + 18 + *size / 4 * pixelBytes);
		LeSink sink{out};
		sink.u8(0); // +0x00 no image ID
		sink.u8(0); // +0x01 no colour map
		sink.u8(2); // +0x02 uncompressed true-colour
		sink.zeros(5); // +0x03 colour-map fields: no colour map
		sink.le16(0); // +0x08 x origin
		sink.le16(0); // +0x0A y origin
		sink.le16(std::uint16_t(width)); // +0x0C width, low 16 bits
		sink.le16(std::uint16_t(height)); // +0x0E height, low 16 bits
		sink.u8(alpha ? 32 : 24); // +0x10 pixel depth
		sink.u8(alpha ? 8 : 0); // +0x11 8 attribute bits with alpha; bottom-left origin

		const std::size_t header = out.size();
		out.resize(header + *size / 4 * pixelBytes);
		if (alpha)
			PutPixels<4>(out.data() + header, rgba.data(), std::size_t(width), std::size_t(height));
		else
			PutPixels<3>(out.data() + header, rgba.data(), std::size_t(width), std::size_t(height));
	} catch (...) {
		out.resize(original);
		return false;
	}
	return true;
}

bool AutoExportToTGA(int width, int height, std::span<const std::uint8_t> rgba, std::string_view texName,
	std::string_view folder, int overwrite)
{
	try {
		const std::filesystem::path path = AutoExportPath(folder, texName, ".tga");
		if (KeepExistingFile(path, overwrite))
			return true;
		std::vector<std::uint8_t> bytes;
		return WriteTGA(bytes, width, height, rgba) && WriteFileAtomically(path, bytes);
	} catch (...) {
		return false; // out of memory for the path
	}
}

} // namespace zentarra
