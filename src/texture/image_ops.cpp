#include "texture/image_ops.h"

#include "base/text.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zentarra {

namespace {

bool HasPixels(const RgbaImage& image)
{
	return image.width > 0 && image.height > 0 &&
		image.rgba.size() >= std::size_t(image.width) * std::size_t(image.height) * 4;
}

RgbaImage Blank(int width, int height)
{
	RgbaImage image;
	image.width = width;
	image.height = height;
	image.rgba.assign(std::size_t(width) * std::size_t(height) * 4, 0);
	return image;
}

std::size_t RowBytes(const RgbaImage& image)
{
	return std::size_t(image.width) * 4;
}

// 2 x 2 averages of 16-bit channels, rounded.
void Halve(const std::vector<std::uint16_t>& in, int inWidth, std::vector<std::uint16_t>& out, int outWidth,
	int outHeight)
{
	const std::size_t rowIn = std::size_t(inWidth) * 4;
	for (int y = 0; y < outHeight; ++y) {
		for (int x = 0; x < outWidth; ++x) {
			const std::size_t t = std::size_t(2 * y) * rowIn + std::size_t(2 * x) * 4;
			const std::size_t s = (std::size_t(y) * std::size_t(outWidth) + std::size_t(x)) * 4;
			for (std::size_t k = 0; k < 4; ++k)
				out[s + k] = std::uint16_t((in[t + k] + in[t + 4 + k] + in[t + rowIn + k] + in[t + rowIn + 4 + k] + 2) / 4);
		}
	}
}

struct Span {
	float low, high;
};

// The input span under output texel i along one axis: conv input texels
// wide when shrinking, one texel wide when enlarging, centred on the output
// texel's centre.
Span Footprint(int i, float conv, bool shrinking)
{
	const float centre = float(double(conv) * (i + 0.5));
	if (shrinking)
		return {centre - conv / 2, centre + conv / 2};
	return {float(double(centre) - 0.5), float(double(centre) + 0.5)};
}

// The box filter proper. The float and double steps are those of the
// reference scaler; changing any of them changes output bits.
void BoxFilter(const std::vector<std::uint16_t>& in, int widthIn, int heightIn, std::vector<std::uint16_t>& out,
	int widthOut, int heightOut)
{
	const float convy = float(heightIn) / float(heightOut);
	const float convx = float(widthIn) / float(widthOut);
	for (int i = 0; i < heightOut; ++i) {
		const auto [lowy, highy] = Footprint(i, convy, heightIn > heightOut);
		for (int j = 0; j < widthOut; ++j) {
			const auto [lowx, highx] = Footprint(j, convx, widthIn > widthOut);

			float totals[4] = {0, 0, 0, 0};
			float area = 0;
			float y = lowy;
			int yint = int(std::floor(y));
			while (y < highy) {
				const int yindex = (yint + heightIn) % heightIn;
				const float ypercent = highy < float(yint + 1) ? highy - y : float(yint + 1) - y;
				float x = lowx;
				int xint = int(std::floor(x));
				while (x < highx) {
					const int xindex = (xint + widthIn) % widthIn;
					const float xpercent = highx < float(xint + 1) ? highx - x : float(xint + 1) - x;
					const float percent = xpercent * ypercent;
					area += percent;
					const std::size_t at = (std::size_t(xindex) + std::size_t(yindex) * std::size_t(widthIn)) * 4;
					for (std::size_t k = 0; k < 4; ++k)
						totals[k] += float(in[at + k]) * percent;
					++xint;
					x = float(xint);
				}
				++yint;
				y = float(yint);
			}

			const std::size_t at = (std::size_t(j) + std::size_t(i) * std::size_t(widthOut)) * 4;
			for (std::size_t k = 0; k < 4; ++k)
				out[at + k] = std::uint16_t((double(totals[k]) + 0.5) / double(area));
		}
	}
}

} // namespace

RgbaImage RgbaImage::Of(const TexImage& texture)
{
	RgbaImage image;
	image.width = texture.width;
	image.height = texture.height;
	image.rgba = texture.data;
	return image;
}

RgbaImage ScaleImage(const RgbaImage& in, int outWidth, int outHeight)
{
	if (!HasPixels(in) || outWidth <= 0 || outHeight <= 0)
		return {};
	const std::size_t inCount = std::size_t(in.width) * std::size_t(in.height) * 4;
	std::vector<std::uint16_t> wide(inCount);
	for (std::size_t k = 0; k < inCount; ++k)
		wide[k] = std::uint16_t(in.rgba[k] * 257);

	std::vector<std::uint16_t> scaled(std::size_t(outWidth) * std::size_t(outHeight) * 4);
	if (in.width == outWidth * 2 && in.height == outHeight * 2)
		Halve(wide, in.width, scaled, outWidth, outHeight);
	else
		BoxFilter(wide, in.width, in.height, scaled, outWidth, outHeight);

	RgbaImage out = Blank(outWidth, outHeight);
	for (std::size_t k = 0; k < scaled.size(); ++k)
		out.rgba[k] = std::uint8_t(scaled[k] >> 8);
	return out;
}

RgbaImage ScaleToPowerOf2(const RgbaImage& in)
{
	if (!HasPixels(in))
		return {};
	const Power2Size size = CheckIfPower2(std::uint32_t(in.width), std::uint32_t(in.height));
	if (size.isPower2)
		return in;
	return ScaleImage(in, int(size.width), int(size.height));
}

RgbaImage PadToPowerOf2(const RgbaImage& in)
{
	if (!HasPixels(in))
		return {};
	const Power2Size size = CheckIfPower2(std::uint32_t(in.width), std::uint32_t(in.height));
	RgbaImage out = Blank(int(size.width), int(size.height));
	for (int y = 0; y < in.height; ++y)
		std::memcpy(&out.rgba[std::size_t(y) * RowBytes(out)], &in.rgba[std::size_t(y) * RowBytes(in)], RowBytes(in));
	return out;
}

RgbaImage MirrorS(const RgbaImage& in)
{
	if (!HasPixels(in))
		return {};
	RgbaImage out = Blank(in.width * 2, in.height);
	for (int y = 0; y < in.height; ++y) {
		const std::uint8_t* row = &in.rgba[std::size_t(y) * RowBytes(in)];
		std::uint8_t* dst = &out.rgba[std::size_t(y) * RowBytes(out)];
		std::memcpy(dst, row, RowBytes(in));
		for (int x = 0; x < in.width; ++x)
			std::memcpy(dst + std::size_t(2 * in.width - 1 - x) * 4, row + std::size_t(x) * 4, 4);
	}
	return out;
}

RgbaImage MirrorT(const RgbaImage& in)
{
	if (!HasPixels(in))
		return {};
	RgbaImage out = Blank(in.width, in.height * 2);
	const std::size_t row = RowBytes(in);
	for (int y = 0; y < in.height; ++y) {
		const std::uint8_t* src = &in.rgba[std::size_t(y) * row];
		std::memcpy(&out.rgba[std::size_t(y) * row], src, row);
		std::memcpy(&out.rgba[std::size_t(2 * in.height - 1 - y) * row], src, row);
	}
	return out;
}

RgbaImage AlphaAsGrey(const RgbaImage& in)
{
	RgbaImage out = in;
	for (std::size_t k = 0; k + 3 < out.rgba.size(); k += 4)
		out.rgba[k] = out.rgba[k + 1] = out.rgba[k + 2] = out.rgba[k + 3];
	return out;
}

RgbaImage PaletteImage(const Palette& palette, std::uint32_t count)
{
	RgbaImage out = Blank(16, 16);
	const std::size_t shown = std::min<std::size_t>(count, palette.size());
	for (std::size_t k = 0; k < shown; ++k)
		for (std::size_t c = 0; c < 4; ++c)
			out.rgba[k * 4 + c] = std::uint8_t(palette[k] >> (8 * c));
	return out;
}

} // namespace zentarra
