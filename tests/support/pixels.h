// Pixels read back from the offscreen renderer, and the questions the
// picture tests ask of them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace zentarra::testing {

using Pixel = std::array<std::uint8_t, 4>;

struct Image {
	int width = 0;
	int height = 0;
	std::vector<std::uint8_t> rgba;

	Pixel at(int x, int y) const
	{
		const std::uint8_t* p = &rgba[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4];
		return {p[0], p[1], p[2], p[3]};
	}
	Pixel centre() const { return at(width / 2, height / 2); }
	int Count(const std::function<bool(Pixel)>& wanted) const
	{
		int n = 0;
		for (int y = 0; y < height; ++y)
			for (int x = 0; x < width; ++x)
				n += wanted(at(x, y)) ? 1 : 0;
		return n;
	}
	// Pixels of that colour, alpha aside.
	int Count(Pixel colour) const
	{
		return Count([&](Pixel p) { return p[0] == colour[0] && p[1] == colour[1] && p[2] == colour[2]; });
	}
	bool operator==(const Image&) const = default;
};

} // namespace zentarra::testing
