// Pictures of the offscreen renderer, read back, and the questions the
// picture tests ask of them.
#pragma once

#include "render/offscreen.h"
#include "render/renderer.h"
#include "support/viewer_fixture.h"

#include <array>
#include <memory>

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
	// Pixels of that colour, alpha aside.
	int Count(Pixel colour) const
	{
		int n = 0;
		for (std::size_t i = 0; i < rgba.size(); i += 4)
			n += std::equal(colour.begin(), colour.begin() + 3, rgba.begin() + std::ptrdiff_t(i)) ? 1 : 0;
		return n;
	}
	bool operator==(const Image&) const = default;
};

// A viewer beside a square offscreen framebuffer of `kSize` pixels, one per suite.
template <int kSize>
class PictureTest : public ViewerFixture {
protected:
	static void SetUpTestSuite()
	{
		std::string error;
		context = render::OffscreenContext::Create(kSize, kSize, error);
		ASSERT_TRUE(context) << error;
	}
	static void TearDownTestSuite() { context.reset(); }

	// Draws the state with a fresh renderer, as a new window does.
	static Image Draw(const ViewerState& state, render::DrawMode mode = render::DrawMode::VertexArrays)
	{
		render::Renderer renderer;
		renderer.setDrawMode(mode);
		renderer.InitGL();
		renderer.Resize(kSize, kSize, state.MV.radius * 50.0f, state.disp.view);
		renderer.Draw(state);
		Image image{kSize, kSize, context->ReadPixels()};
		EXPECT_EQ(render::OffscreenContext::TakeGLError(), 0u);
		renderer.ReleaseGL();
		return image;
	}

	static inline std::unique_ptr<render::OffscreenContext> context;
};

} // namespace zentarra::testing
