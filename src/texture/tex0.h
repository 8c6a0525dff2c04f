// TEX0 textures and PLT0 palettes decoded to plain RGBA.
//
// A TEX0 stores its full-size image at +0x40 as blocks of texels (rows of
// blocks top to bottom, blocks left to right, texels row by row inside a
// block); a PLT0 stores 16-bit palette entries at +0x40. The decoder turns
// either into 8-bit channels by bit replication and never reads outside the
// file: a truncated sub-file decodes every whole block it holds and leaves the
// remaining texels zero.
#pragma once

#include "base/byte_view.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zentarra {

// Texture format codes as stored at TEX0 +0x20.
enum TexFormat : std::uint32_t {
	kTexI4 = 0,
	kTexI8 = 1,
	kTexIA4 = 2,
	kTexIA8 = 3,
	kTexRGB565 = 4,
	kTexRGB5A3 = 5,
	kTexRGBA8 = 6,
	kTexCI4 = 8,
	kTexCI8 = 9,
	kTexCI14x2 = 10, // recognised, never decoded
	kTexCMPR = 14,
};

// Palette format codes as stored at PLT0 +0x18; any other value is RGB5A3.
enum PaletteFormat : std::uint32_t {
	kPaletteIA8 = 0,
	kPaletteRGB565 = 1,
	kPaletteRGB5A3 = 2,
};

// A packed colour: red in the lowest byte, then green, blue, alpha in the
// highest, so storing it least significant byte first gives R, G, B, A.
using Palette = std::array<std::uint32_t, 256>;

struct TexImage {
	std::uint32_t size = 0;   // sub-file length as the header states it
	std::int32_t width = 0;   // texels across
	std::int32_t height = 0;  // texels down
	std::uint32_t format = 0; // TexFormat code
	Palette palette{};        // colours of the indices of CI4 and CI8
	std::vector<std::uint8_t> data; // width*height*4 bytes, R G B A, top row first
};

enum class TexStatus {
	Ok,
	Truncated,   // the file ended inside the image; the missing blocks are zero
	Unsupported, // CI14x2 or an unknown code: the image is all zero
	TooLarge,    // the size was refused before allocating; data is empty
};

// Largest image always accepted, truncated or not: 1024 x 1024, the biggest
// texture the console can sample. A larger image is accepted only when the
// file holds all of its texel data, so a damaged size field never makes us
// allocate more than 4 MiB, or 8 RGBA bytes per file byte (I4 packs two
// texels in a byte).
inline constexpr std::size_t kMaxTexelsWithoutData = 1024 * 1024;
// And no image above 8192 x 8192 texels (256 MiB of RGBA) is accepted at all,
// eight times the side of the largest real one.
inline constexpr std::size_t kMaxTexels = 8192 * 8192;

// Reads size (+0x04), width (+0x1C), height (+0x1E) and format (+0x20) of the
// TEX0 at `offset` and leaves the cursor at its texel data (+0x40). Returns 0
// when the format is CI4 or CI8, meaning a palette is needed, else 1 (CI14x2
// and unknown codes included). A short file reads missing fields as 0.
int ReadTextureHeader(ByteView& file, std::size_t offset, TexImage& rec);

// Reads the PLT0 at `offset`: format (+0x18), entry count (+0x1C), then the
// entries at +0x40 into the first min(count, 256) entries of rec.palette;
// the others keep their colours. Returns the count as stored, even above 256.
std::uint32_t ReadPalette(ByteView& file, std::size_t offset, TexImage& rec);

// Decodes the texel data at the cursor (as ReadTextureHeader left it) into
// rec.data, which is resized to width*height*4 (keeping its capacity, so a
// record decoded again allocates nothing). Texels the file does not hold, and
// every texel of a format that is not decoded, are zero.
// CI4 and CI8 take their colours from rec.palette. Never reads outside the
// file; a truncated file also marks it damaged.
TexStatus ReadTexture(ByteView& file, TexImage& rec);

// The decoders' code: plain C++, SSE2 vector code where the target has it,
// AVX2 where the processor has it (found at run time). Every path gives the
// same bytes.
enum class TexDecodePath { Scalar, Sse2, Avx2 };

// The paths this build can run, the fastest (the one ReadTexture uses) last.
std::span<const TexDecodePath> TexDecodePaths();

// The same on raw texel data without a header: rgba holds width*height*4
// bytes, already cleared by the caller (only decoded texels are written).
TexStatus DecodeTexels(std::span<std::uint8_t> rgba, std::span<const std::uint8_t> texels, std::uint32_t format,
	int width, int height, const Palette& palette);
// The same on one path of TexDecodePaths().
TexStatus DecodeTexels(std::span<std::uint8_t> rgba, std::span<const std::uint8_t> texels, std::uint32_t format,
	int width, int height, const Palette& palette, TexDecodePath path);

// Bytes of texel data of a width x height image in that format, padded to
// whole blocks; 0 for the formats that are not decoded.
std::size_t TexelDataSize(std::uint32_t format, int width, int height);

// Stores the packed colour at texel (x, y); a texel outside the image is ignored.
void PutData(TexImage& rec, int x, int y, std::uint32_t colour);

// The packed colour of one 16-bit palette entry (IA8 entries are intensity
// then alpha, the reverse of IA8 texels).
std::uint32_t DecodePaletteEntry(std::uint32_t paletteFormat, std::uint16_t entry);

} // namespace zentarra
