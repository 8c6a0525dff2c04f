// Pictures of the renderer, read back from the offscreen framebuffer: the
// model's faces, culling and highlights, every real model, the textures'
// views; and zentarra-cli render and render-texture run as a user runs them.
#include "support/corpus.h"
#include "support/pixels.h"
#include "support/tex0_writer.h"
#include "view/input.h"
#include "../export/png_read.h"

#include <algorithm>

namespace zentarra {
namespace {

using testing::AddMesh;
using testing::Facing;
using testing::Image;
using testing::Pixel;
using testing::Quote;

constexpr int kSize = 96;
constexpr testing::Rgba kRed = {1, 0, 0, 1};
constexpr testing::Rgba kGreen = {0, 1, 0, 1};
constexpr Pixel kRedPixel = {255, 0, 0, 255};
constexpr Pixel kGreenPixel = {0, 255, 0, 255};
constexpr Pixel kBlue = {0, 0, 255, 255};

// A camera on the model's +Z axis looking at the origin: model X to the
// right, Y up, a radius of 1.
ViewerState Scene(std::uint32_t flags, std::vector<Triangle> triangles = {}, int cull = 2)
{
	ViewerState state;
	state.MV.radius = 1.0f;
	ResetModelView(state.MV);
	state.MV.rotZ = state.MV.rotY = 0.0f;
	state.MV.flags = flags;
	if (!triangles.empty())
		AddMesh(state.model, std::move(triangles), cull);
	return state;
}

using RenderTest = testing::PictureTest<kSize>;

TEST_F(RenderTest, CullingByModeAndMaterial)
{
	const struct {
		std::uint32_t culling;
		int cull;
		bool shown;
	} cases[] = {
		{kCullAuto, 1, true}, {kCullAuto, 2, false}, {kCullAuto, 3, true}, {kCullOn, 3, false}, {0, 2, true},
		{0x80, 2, true},
	};
	Triangle away = Facing(0.5f, kRed);
	std::swap(away.v[1], away.v[2]); // clockwise seen from +Z
	for (const auto& c : cases) {
		const ViewerState state = Scene(kFaces | kColors | c.culling, {away}, c.cull);
		EXPECT_EQ(Draw(state).at(kSize / 2, kSize / 2)[0] == 255, c.shown) << c.culling << " cull " << c.cull;
	}
}

TEST_F(RenderTest, SoloMeshAndHighlights)
{
	ViewerState state = Scene(kFaces | kColors, {Facing(0.3f, kRed)});
	Triangle right = Facing(0.3f, kGreen);
	for (Vertex& v : right.v)
		v.posedPos[0] += 0.5f;
	AddMesh(state.model, {right});
	state.MV.soloMesh = 0; // the others as points
	const Image solo = Draw(state);
	EXPECT_GT(solo.Count(kRedPixel), 200);
	EXPECT_EQ(std::clamp(solo.Count(kGreenPixel), 1, 3), solo.Count(kGreenPixel));

	ViewerState grey = Scene(kFaces | kColors, {Facing(0.5f, {0.5f, 0.5f, 0.5f, 1})});
	grey.model.bonemap = {0, 1};
	grey.model.MD.meshVisible[0] = 0; // hidden meshes can still be highlighted
	grey.smesh = 0;
	EXPECT_GT(Draw(grey).Count(kBlue), 50);
	grey.smesh = -1;
	grey.sbone = 0;
	EXPECT_GT(Draw(grey).Count(kRedPixel), 50);
}

// Every real model, centred, draws model pixels in the middle, both ways
// alike whatever is switched off, its textures from its archive.
TEST_F(RenderTest, EveryCorpusModel)
{
	int models = 0;
	int textured = 0; // with textures the archive holds: they change the picture
	for (const nlohmann::json& archive : testing::CorpusInventory()) {
		viewer.Command(kCmdCloseAllFiles);
		const std::string path = testing::kCorpusDir + "/" + archive["file"].get<std::string>();
		viewer.OpenFiles({path});
		const std::vector<ItemRecord> items = viewer.items().items();
		for (const ItemRecord& item : items) {
			if (item.kind != ItemKind::MDL0)
				continue;
			SCOPED_TRACE(path + " " + item.name);
			viewer.LoadModel(item.id);
			ViewerState& state = viewer.editState();
			if (state.model.MD.nMesh == 0) { // a material library holds no geometry
				EXPECT_EQ(front.LastText(), "Error: this model doesn't have vertices");
				continue;
			}
			CenterModel(state.MV, state.model.MD);
			state.disp.bgBlue = 1.0f;
			const Image image = Draw(state);
			const std::uint32_t flags = state.MV.flags;
			const std::uint32_t switchedOff[] = {0, kFaces, kColors | kTextures, kLighting};
			for (std::uint32_t off : switchedOff) {
				state.MV.flags = flags & ~off; // each of the arrays left out in turn
				EXPECT_EQ(Draw(state), Draw(state, render::DrawMode::Immediate)) << off;
			}
			state.MV.flags = flags;
			const std::vector<RgbaImage>& textures = state.tx.images;
			if (std::any_of(textures.begin(), textures.end(), [](const RgbaImage& t) { return !t.rgba.empty(); })) {
				++textured;
				state.MV.flags &= ~std::uint32_t(kTextures);
				EXPECT_NE(image, Draw(state));
				state.MV.flags |= kTextures;
			}
			EXPECT_LT(image.Count(kBlue), kSize * kSize);
			++models;
		}
	}
	EXPECT_GE(models, 20);
	EXPECT_GE(textured, 15);
}

// Textures: a framebuffer larger than a 32 x 32 texture at zoom 8.
constexpr int kLarge = 300;

testing::Bytes RGBA8(int width, int height, const std::function<Pixel(int, int)>& texel)
{
	testing::Bytes rgba;
	for (int y = 0; y < height; ++y)
		for (int x = 0; x < width; ++x) {
			const Pixel p = texel(x, y);
			rgba.insert(rgba.end(), p.begin(), p.end());
		}
	return testing::BuildTEX0(6, width, height, testing::EncodeRGBA8(width, height, rgba));
}

class TextureRender : public testing::PictureTest<kLarge> {
protected:
	// Shows the entry as a double-click does, with the view's channel and zoom, on blue.
	Image Show(const char* name, ItemKind kind, int channel = 0, float zoom = 1)
	{
		viewer.ActivateFileItem(Entry(name, kind));
		viewer.editState().TV.channel = channel;
		viewer.editState().TV.zoom = zoom;
		return Draw(OnBlue());
	}
	const ViewerState& OnBlue()
	{
		DisplaySettings& disp = viewer.editState().disp;
		disp.bgRed = disp.bgGreen = 0;
		disp.bgBlue = 1;
		return state();
	}
};

TEST_F(TextureRender, ChannelsPaddingZoomAndPalette)
{
	Open("views.brres", testing::BuildBRRES({{"Textures(NW4R)",
		{{"halves", RGBA8(4, 4, [](int x, int) { return x < 2 ? Pixel{255, 0, 0, 0} : Pixel{0, 255, 0, 128}; })},
			{"odd", RGBA8(48, 20, [](int, int) { return kRedPixel; })}}},
		{"Palettes(NW4R)", {{"sixteen", testing::BuildPLT0(1, std::vector<std::uint16_t>(16, 0xFFE0))}}}}));
	const int c = kLarge / 2;
	// alpha 0 and alpha 128 at zoom 8: each half of the 32 x 32 pixels
	const struct {
		int channel;
		Pixel left, right;
	} channels[] = {{0, kBlue, {0, 128, 127, 255}}, {1, kRedPixel, kGreenPixel}, {2, {0, 0, 0, 255}, {128, 128, 128, 255}}};
	for (const auto& ch : channels) {
		const Image image = Show("halves", ItemKind::TEX0, ch.channel, 8);
		for (std::size_t i = 0; i < 3; ++i) { // the framebuffer's alpha is whatever the texel's was
			EXPECT_EQ(image.at(c - 8, c)[i], ch.left[i]) << ch.channel;
			EXPECT_NEAR(image.at(c + 8, c)[i], ch.right[i], 1) << ch.channel;
		}
	}

	// a palette of 16 entries: the first row of 4-pixel cells, the other rows transparent
	const Image palette = Show("sixteen", ItemKind::PLT0);
	EXPECT_EQ(palette.Count({255, 255, 0, 255}), 64 * 4);
	EXPECT_EQ(palette.at(c + 31, c - 29), (Pixel{255, 255, 0, 255}));
	EXPECT_EQ(palette.at(c, c - 27), kBlue);
}

// Mesa's threads still run when the program ends, and the sanitizer build's
// leak checker, stopping them to look, crashes now and then (as under Qt):
// the drawing commands are checked for memory errors, not leaks.
testing::CommandResult Render(const std::string& arguments, const std::string& environment = "")
{
	return testing::RunCommand(environment + "ASAN_OPTIONS=detect_leaks=0:halt_on_error=1 " + Quote(ZENTARRA_CLI) + " " +
		arguments);
}

testing::Image Decoded(const std::filesystem::path& png)
{
	testing::Image picture;
	picture.rgba = testing::DecodePNG(ReadWholeFile(png).bytes, &picture.width, &picture.height);
	return picture;
}

TEST(CliRender, OptionsChangeThePicture)
{
	testing::TempDir dir;
	const std::string out = Quote((dir.path / "v.png").string());
	ASSERT_EQ(Render("render " + Quote(testing::kShippedDemo) + " crate -o " + out).status, 0);
	const testing::Image plain = Decoded(dir.path / "v.png");
	EXPECT_EQ(std::pair(plain.width, plain.height), std::pair(640, 480));
	for (const char* options : {"--wireframe", "--no-axes", "--no-lighting", "--center", "--rotate 45,10",
			 "--background 10,20,30", "--anim crate_open --frame 20"}) {
		const testing::CommandResult run = Render("render " + Quote(testing::kShippedDemo) + " crate -o " + out + " " + options);
		ASSERT_EQ(run.status, 0) << options << run.err;
		EXPECT_NE(Decoded(dir.path / "v.png").rgba, plain.rgba) << options;
	}
	const struct {
		const char* command;
		std::string arguments;
		int width, height;
	} views[] = {
		{"render", "crate --size 32x24", 32, 24},
		{"render-texture", "crate_shadow", 64, 32}, // the power-of-two size
		{"render-texture", "crate_shadow --channel alpha --zoom 2 --pan 8,-4 --size 100x50", 100, 50},
		{"render-texture", "--palette-view crate_label", 64, 64},
	};
	for (const auto& view : views) {
		const testing::CommandResult run =
			Render(std::string(view.command) + " " + Quote(testing::kShippedDemo) + " " + view.arguments + " -o " + out);
		ASSERT_EQ(run.status, 0) << view.arguments << run.err;
		const testing::Image picture = Decoded(dir.path / "v.png");
		EXPECT_EQ(std::pair(picture.width, picture.height), std::pair(view.width, view.height)) << view.arguments;
		EXPECT_NE(std::count(picture.rgba.begin(), picture.rgba.end(), 0), std::ptrdiff_t(picture.rgba.size()));
	}
}

TEST(CliRender, FailuresAreMessages)
{
	testing::TempDir dir;
	const std::string out = Quote((dir.path / "x.png").string());
	const struct {
		std::string environment;
		std::string arguments;
		int status;
		const char* message;
	} cases[] = {
		{"__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent ", "render {demo} crate", 1, "no OpenGL display"},
		{"MESA_GL_VERSION_OVERRIDE=3.2FC ", "render {demo} crate", 1, "no fixed-function pipeline"},
		{"", "render {demo} nothing", 1, "no model named \"nothing\""},
		{"", "render {demo} crate --size 0x10", 2, "--size"},
		{"", "render {demo} crate --rotate 1", 2, "--rotate"},
		{"", "render {demo} crate --background 1,2,300", 2, "--background"},
		{"", "render {demo} crate --anim crate_open --frame 400", 1, "outside the animation's frames"},
		{"", "render-texture {demo} nothing", 1, ""},
		{"", "render-texture {demo} crate_shadow --pan 1", 2, ""},
		{"", "render-texture {demo} crate_shadow --zoom 0", 2, ""},
	};
	for (const auto& c : cases) {
		std::string arguments = c.arguments;
		arguments.replace(arguments.find("{demo}"), 6, Quote(testing::kShippedDemo));
		const testing::CommandResult run = Render(arguments + " -o " + out, c.environment);
		EXPECT_EQ(run.status, c.status) << c.arguments;
		EXPECT_FALSE(run.err.empty()) << c.arguments;
		EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
	}
	EXPECT_FALSE(std::filesystem::exists(dir.path / "x.png"));

}

} // namespace
} // namespace zentarra
