// Pictures of textures: on the model, in the texture and palette views, and
// the rescaling that makes them powers of two.
#include "render/offscreen.h"
#include "render/renderer.h"
#include "support/mdl0_writer.h"
#include "support/pixels.h"
#include "support/tex0_writer.h"
#include "support/viewer_fixture.h"
#include "view/input.h"

#include <GL/glu.h>

#include <random>

namespace zentarra {
namespace {

using testing::Bytes;
using testing::Image;
using testing::Pixel;

constexpr int kSize = 600;
constexpr Pixel kBlue = {0, 0, 255, 255};

Bytes RGBA8(int width, int height, const std::function<Pixel(int, int)>& texel)
{
	Bytes rgba;
	for (int y = 0; y < height; ++y)
		for (int x = 0; x < width; ++x) {
			const Pixel p = texel(x, y);
			rgba.insert(rgba.end(), p.begin(), p.end());
		}
	return testing::BuildTEX0(6, width, height, testing::EncodeRGBA8(width, height, rgba));
}

// A square of side 2 facing +Z showing its texture twice across, the first
// row at the top.
Bytes QuadModel(int wrapS, int wrapT)
{
	testing::Mdl0Model model;
	model.positions.push_back({.name = "pos", .values = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0}});
	model.texCoords.push_back({.name = "uv", .components = 2, .values = {0, 2, 2, 2, 2, 0, 0, 0}});
	testing::Mdl0Mesh mesh{.name = "quad", .primitives = {testing::Quads({0, 1, 2, 3})}};
	mesh.uvArray[0] = 0;
	mesh.texSize[0] = 1;
	model.meshes.push_back(mesh);
	model.bones.push_back({.name = "root"});
	model.drawLists = {{"DrawOpa", {{.material = 0, .mesh = 0}}}};
	model.materials.push_back({.name = "quad", .cull = 0, .layers = {{.texture = "quad", .wrapS = wrapS, .wrapT = wrapT}}});
	return testing::BuildMDL0(model);
}

// Quarters red, green / blue, white.
Pixel Quarters(int x, int y)
{
	static constexpr Pixel colours[4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};
	return colours[(y >= 4 ? 2 : 0) + (x >= 4 ? 1 : 0)];
}

class TextureRender : public testing::ViewerFixture {
protected:
	static void SetUpTestSuite()
	{
		std::string error;
		context = render::OffscreenContext::Create(kSize, kSize, error);
		ASSERT_TRUE(context) << error;
	}
	static void TearDownTestSuite() { context.reset(); }

	Image Draw()
	{
		ViewerState& state = viewer.editState();
		state.disp.bgRed = state.disp.bgGreen = 0;
		state.disp.bgBlue = 1;
		render::Renderer renderer;
		renderer.InitGL();
		renderer.Resize(kSize, kSize, state.MV.radius * 50.0f, state.disp.view);
		renderer.Draw(state);
		Image image{context->width(), context->height(), context->ReadPixels()};
		EXPECT_EQ(render::OffscreenContext::TakeGLError(), 0u);
		renderer.ReleaseGL();
		return image;
	}
	// Shows the entry as a double-click does, with the view's channel and zoom.
	Image Show(const char* name, ItemKind kind, int channel = 0, float zoom = 1)
	{
		viewer.ActivateFileItem(Entry(name, kind));
		viewer.editState().TV.channel = channel;
		viewer.editState().TV.zoom = zoom;
		return Draw();
	}

	static inline std::unique_ptr<render::OffscreenContext> context;
};

TEST_F(TextureRender, ModelTexturesAndTheirMirrors)
{
	const struct {
		int wrapS, wrapT;
		Pixel corners[4]; // near the quad's corners: top left, top right, bottom left, bottom right
	} cases[] = {
		{1, 1, {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}}}, // repeated
		{2, 2, {{255, 0, 0, 255}, {255, 0, 0, 255}, {255, 0, 0, 255}, {255, 0, 0, 255}}}, // mirrored copies
	};
	for (const auto& c : cases) {
		SCOPED_TRACE(c.wrapS);
		viewer.Command(kCmdCloseAllFiles);
		Open("quad.brres", testing::BuildBRRES({{"3DModels(NW4R)", {{"quad", QuadModel(c.wrapS, c.wrapT)}}},
			{"Textures(NW4R)", {{"quad", RGBA8(8, 8, Quarters)}}}}));
		viewer.LoadModel(Entry("quad", ItemKind::MDL0));
		ViewerState& state = viewer.editState();
		state.MV.radius = 1.0f;
		ResetModelView(state.MV);
		state.MV.rotZ = state.MV.rotY = 0.0f;
		state.MV.flags = kFaces | kTextures;
		const Image image = Draw();
		// the quad's extent on screen
		int left = kSize, right = 0, top = kSize, bottom = 0;
		for (int y = 0; y < kSize; ++y)
			for (int x = 0; x < kSize; ++x)
				if (image.at(x, y) != kBlue || (x > 0 && image.at(x - 1, y) != kBlue)) {
					left = std::min(left, x), right = std::max(right, x);
					top = std::min(top, y), bottom = std::max(bottom, y);
				}
		ASSERT_GT(right - left, 100);
		const auto at = [&](double fx, double fy) {
			return image.at(left + int(fx * (right - left)), top + int(fy * (bottom - top)));
		};
		EXPECT_EQ(at(0.1, 0.1), c.corners[0]);
		EXPECT_EQ(at(0.9, 0.1), c.corners[1]);
		EXPECT_EQ(at(0.1, 0.9), c.corners[2]);
		EXPECT_EQ(at(0.9, 0.9), c.corners[3]);
		EXPECT_EQ(at(0.4, 0.4), (Pixel{255, 255, 255, 255}));
	}
}

TEST_F(TextureRender, ChannelsPaddingZoomAndPalette)
{
	Open("views.brres",
		testing::BuildBRRES({{"Textures(NW4R)",
								{{"halves", RGBA8(4, 4, [](int x, int) { return x < 2 ? Pixel{255, 0, 0, 0} : Pixel{0, 255, 0, 128}; })},
									{"odd", RGBA8(48, 20, [](int, int) { return Pixel{255, 0, 0, 255}; })},
									{"steps", RGBA8(4, 4, [](int x, int y) { return Pixel{std::uint8_t(40 * x + 10), std::uint8_t(40 * y + 10), 0, 255}; })},
									{"big", RGBA8(256, 256, [](int, int) { return Pixel{255, 255, 0, 255}; })}}},
			{"Palettes(NW4R)", {{"sixteen", testing::BuildPLT0(1, std::vector<std::uint16_t>(16, 0xFFE0))}}}}));
	const int c = kSize / 2;
	viewer.editState().disp.view = kPaletteView;
	EXPECT_EQ(Draw().Count(kBlue), kSize * kSize); // nothing loaded: the background alone

	// alpha 0 and alpha 128 at zoom 8: each half of the 32 x 32 pixels
	const struct {
		int channel;
		Pixel left, right;
	} channels[] = {
		{0, kBlue, {0, 128, 127, 255}}, {1, {255, 0, 0, 255}, {0, 255, 0, 255}}, {2, {0, 0, 0, 255}, {128, 128, 128, 255}}};
	for (const auto& ch : channels) {
		const Image image = Show("halves", ItemKind::TEX0, ch.channel, 8);
		const Pixel left = image.at(c - 8, c), right = image.at(c + 8, c);
		for (std::size_t i = 0; i < 3; ++i) { // the framebuffer's alpha is whatever the texel's was
			EXPECT_EQ(left[i], ch.left[i]) << ch.channel;
			EXPECT_NEAR(right[i], ch.right[i], 1) << ch.channel;
		}
	}

	// 48 x 20 padded to 64 x 32 at the top left of the centred square
	for (int channel : {0, 1}) {
		const Image image = Show("odd", ItemKind::TEX0, channel);
		EXPECT_EQ(image.Count({255, 0, 0, 255}), 48 * 20);
		EXPECT_EQ(image.at(c - 32, c - 16), (Pixel{255, 0, 0, 255}));
		EXPECT_EQ(image.at(c - 32 + 47, c - 16 + 19), (Pixel{255, 0, 0, 255}));
		EXPECT_EQ(image.Count(kBlue), channel == 0 ? kSize * kSize - 48 * 20 : kSize * kSize - 64 * 32);
		EXPECT_EQ(image.Count({0, 0, 0, 0}), channel == 0 ? 0 : 64 * 32 - 48 * 20);
	}

	// nearest magnification: 4 pixels a texel, edges on the texel boundaries
	const Image steps = Show("steps", ItemKind::TEX0, 0, 4);
	const int x0 = c - 8, y = c - 8 + 5;
	for (int k = 0; k < 4; ++k) {
		EXPECT_EQ(steps.at(x0 + 4 * k, y), steps.at(x0 + 4 * k + 3, y)) << k;
		EXPECT_EQ(steps.at(x0 + 4 * k, y)[0], 40 * k + 10) << k;
	}

	const Image big = Show("big", ItemKind::TEX0, 0, 2);
	EXPECT_EQ(big.Count({255, 255, 0, 255}), 512 * 512);
	EXPECT_EQ(big.at(c - 256, c - 256), (Pixel{255, 255, 0, 255}));
	EXPECT_EQ(big.at(c + 256, c), kBlue);

	// a palette of 16 entries: the first row of 4-pixel cells, the other rows transparent
	const Image palette = Show("sixteen", ItemKind::PLT0);
	EXPECT_EQ(palette.Count({255, 255, 0, 255}), 64 * 4);
	EXPECT_EQ(palette.at(c - 32, c - 32), (Pixel{255, 255, 0, 255}));
	EXPECT_EQ(palette.at(c + 31, c - 29), (Pixel{255, 255, 0, 255}));
	EXPECT_EQ(palette.at(c, c - 27), kBlue);
}

// The rescaling of the model's textures is the GL utility library's, byte for byte.
TEST_F(TextureRender, ScaleImageIsGluScaleImage)
{
	std::mt19937 random(7);
	const struct {
		int width, height, outWidth, outHeight;
	} sizes[] = {{48, 20, 64, 32}, {3, 5, 4, 8}, {500, 300, 512, 512}, {1, 1024, 4, 256}, {64, 64, 32, 32}, {7, 3, 256, 2}};
	for (const auto& s : sizes) {
		RgbaImage in{s.width, s.height, {}};
		for (int i = 0; i < s.width * s.height * 4; ++i)
			in.rgba.push_back(std::uint8_t(random()));
		std::vector<std::uint8_t> glu(std::size_t(s.outWidth) * std::size_t(s.outHeight) * 4);
		ASSERT_EQ(gluScaleImage(GL_RGBA, s.width, s.height, GL_UNSIGNED_BYTE, in.rgba.data(), s.outWidth, s.outHeight,
					  GL_UNSIGNED_BYTE, glu.data()),
			0);
		EXPECT_EQ(ScaleImage(in, s.outWidth, s.outHeight).rgba, glu) << s.width << "x" << s.height;
	}
}

} // namespace
} // namespace zentarra
