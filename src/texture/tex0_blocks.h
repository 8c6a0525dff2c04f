#pragma once
// The block loop every TEX0 decoder shares, the 16-byte loads and stores of
// the vector kernels, and the entry of the AVX2 unit.
// Internal to the texture library.
//
// note: the unnamed namespace is on purpose. tex0_avx2.cpp compiles this
// header with AVX2 enabled; internal linkage keeps the linker from ever
// picking that copy for the code that runs on any x86-64.
#include "texture/tex0.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zentarra {

// Decodes with the AVX2 kernels; nullopt for a format they leave to the SSE2
// ones. Only to be called when the processor has AVX2.
std::optional<bool> DecodeFormatAvx2(std::uint32_t format, std::uint8_t* out, int width, int height,
	std::span<const std::uint8_t> texels);

namespace {

#if defined(__SSE2__)
__m128i Load16(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
void Store16(std::uint8_t* dst, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), v); }
#endif

std::size_t BlockCount(int size, int blockSize)
{
	return (std::size_t(size) + std::size_t(blockSize) - 1) / std::size_t(blockSize);
}

// Decodes the blocks in storage order, as many whole ones as the data holds.
// Blocks inside the image are written in place (two at a time by a kernel
// that has Pair); a partial block at the right or bottom edge is decoded
// aside and only its part inside the image copied out. False when the data
// ran out.
template <class Block>
bool DecodeBlocks(const Block& block, std::uint8_t* rgba, int width, int height, std::span<const std::uint8_t> texels)
{
	constexpr int bw = Block::kWidth;
	constexpr int bh = Block::kHeight;
	const std::size_t stride = std::size_t(width) * 4;
	const std::size_t across = BlockCount(width, bw);
	const std::size_t inside = std::size_t(width / bw); // blocks of a row that are not cut at the right
	std::size_t left = texels.size() / Block::kBytes;  // whole blocks the data holds
	const std::uint8_t* p = texels.data();
	for (int y0 = 0; y0 < height && left > 0; y0 += bh) {
		const int rows = height - y0 < bh ? height - y0 : bh;
		const std::size_t count = across < left ? across : left;
		std::uint8_t* dst = rgba + std::size_t(y0) * stride;
		std::size_t bx = 0;
		if (rows == bh) {
			const std::size_t end = count < inside ? count : inside;
			if constexpr (requires { block.Pair(dst, stride, p); })
				for (; bx + 2 <= end; bx += 2, p += 2 * Block::kBytes)
					block.Pair(dst + bx * bw * 4, stride, p);
			for (; bx < end; ++bx, p += Block::kBytes)
				block(dst + bx * bw * 4, stride, p);
		}
		for (; bx < count; ++bx, p += Block::kBytes) {
			std::uint8_t aside[bw * bh * 4];
			block(aside, bw * 4, p);
			const std::size_t x0 = bx * bw;
			const std::size_t bytes = (std::size_t(width) - x0 < std::size_t(bw) ? std::size_t(width) - x0 : bw) * 4;
			for (int row = 0; row < rows; ++row)
				std::memcpy(dst + std::size_t(row) * stride + x0 * 4, aside + row * bw * 4, bytes);
		}
		left -= count;
	}
	return texels.size() / Block::kBytes >= across * BlockCount(height, bh);
}

} // namespace
} // namespace zentarra
