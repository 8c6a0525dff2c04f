// Pictures of the renderer, read back from the offscreen framebuffer.
#include "render/offscreen.h"
#include "render/renderer.h"
#include "support/corpus.h"
#include "support/demo_archive.h"
#include "support/pixels.h"
#include "support/scene.h"
#include "view/input.h"
#include "view/viewer.h"

#include <gtest/gtest.h>

#include <array>
#include <algorithm>

namespace zentarra {
namespace {

using testing::AddMesh;
using testing::Away;
using testing::Facing;
using testing::Image;
using testing::Pixel;

constexpr int kSize = 96;
constexpr std::array<float, 4> kRed = {1, 0, 0, 1};
constexpr std::array<float, 4> kGreen = {0, 1, 0, 1};

class RenderTest : public ::testing::Test {
protected:
	static void SetUpTestSuite()
	{
		std::string error;
		context = render::OffscreenContext::Create(kSize, kSize, error);
		ASSERT_TRUE(context) << error;
	}
	static void TearDownTestSuite() { context.reset(); }

	// A camera on the model's +Z axis looking at the origin: model X to the
	// right, Y up, a radius of 1.
	static ViewerState Scene(std::uint32_t flags)
	{
		ViewerState state;
		state.MV.radius = 1.0f;
		ResetModelView(state.MV);
		state.MV.rotZ = state.MV.rotY = 0.0f;
		state.MV.flags = flags;
		return state;
	}

	static Image Draw(const ViewerState& state, render::DrawMode mode = render::DrawMode::VertexArrays)
	{
		render::Renderer renderer;
		renderer.setDrawMode(mode);
		renderer.InitGL();
		renderer.Resize(kSize, kSize, state.MV.radius * 50.0f, state.disp.view);
		renderer.Draw(state);
		Image image{context->width(), context->height(), context->ReadPixels()};
		EXPECT_EQ(render::OffscreenContext::TakeGLError(), 0u);
		renderer.ReleaseGL();
		return image;
	}

	static inline std::unique_ptr<render::OffscreenContext> context;
};

TEST_F(RenderTest, FacesColoursAndWireframe)
{
	ViewerState state = Scene(kFaces | kColors);
	AddMesh(state.model, {Facing(0.5f, kRed)});
	const Image filled = Draw(state);
	EXPECT_EQ(filled.centre(), (Pixel{255, 0, 0, 255}));

	state.MV.flags = kFaces;
	EXPECT_EQ(Draw(state).centre(), (Pixel{255, 255, 255, 255}));

	state.MV.flags = kColors; // edges only
	const Image wire = Draw(state);
	EXPECT_EQ(wire.centre(), (Pixel{0, 0, 0, 255}));
	EXPECT_GT(wire.Count({255, 0, 0, 255}), 50);
	EXPECT_LT(wire.Count({255, 0, 0, 255}), filled.Count({255, 0, 0, 255}) / 4);
}

TEST_F(RenderTest, LightingNeedsNormals)
{
	const std::array<float, 4> grey = {0.4f, 0.4f, 0.4f, 1};
	ViewerState bare = Scene(kFaces | kColors | kLighting);
	AddMesh(bare.model, {Facing(0.5f, grey, {0, 0, 0})});
	ViewerState unlit = bare;
	unlit.MV.flags &= ~std::uint32_t(kLighting);
	EXPECT_EQ(Draw(bare), Draw(unlit));
	EXPECT_EQ(Draw(unlit).centre()[0], 102);

	// facing the light: emission c/4 + 0.2 x 0.2 ambient + diffuse c
	ViewerState lit = Scene(kFaces | kColors | kLighting);
	AddMesh(lit.model, {Facing(0.5f, grey)});
	EXPECT_NEAR(Draw(lit).centre()[0], (0.4 * 1.25 + 0.04) * 255, 1.0);
	lit.MV.flags &= ~std::uint32_t(kColors); // white: 0.25 + 0.04 + 1, clamped
	EXPECT_EQ(Draw(lit).centre()[0], 255);
}

TEST_F(RenderTest, CullingByModeAndMaterial)
{
	const struct {
		std::uint32_t culling;
		int cull;
		bool shown;
	} cases[] = {
		{kCullAuto, 1, true}, {kCullAuto, 2, false}, {kCullAuto, 3, true},
		{kCullOn, 1, false}, {kCullOn, 2, false}, {kCullOn, 3, false},
		{0, 1, true}, {0, 2, true}, {0, 3, true}, {0x80, 2, true},
	};
	for (const auto& c : cases) {
		ViewerState state = Scene(kFaces | kColors | c.culling);
		AddMesh(state.model, {Away(0.5f, kRed)}, c.cull);
		EXPECT_EQ(Draw(state).centre()[0] == 255, c.shown) << "culling " << c.culling << " cull " << c.cull;
	}
}

TEST_F(RenderTest, AxesInTheirColours)
{
	ViewerState state = Scene(kAxes);
	ResetModelView(state.MV); // turned, so no axis points at the camera
	const Image image = Draw(state);
	for (Pixel colour : {Pixel{255, 0, 0, 255}, Pixel{0, 255, 0, 255}, Pixel{0, 0, 255, 255}})
		EXPECT_GT(image.Count(colour), 10) << int(colour[0]) << " " << int(colour[1]);
	state.MV.flags = 0;
	EXPECT_EQ(Draw(state).Count({0, 0, 0, 255}), kSize * kSize);
}

TEST_F(RenderTest, SoloMeshDrawsTheOthersAsPoints)
{
	ViewerState state = Scene(kFaces | kColors);
	AddMesh(state.model, {Facing(0.3f, kRed)});
	Triangle right = Facing(0.3f, kGreen);
	for (Vertex& v : right.v)
		v.posedPos[0] += 0.5f;
	AddMesh(state.model, {right});
	EXPECT_GT(Draw(state).Count({0, 255, 0, 255}), 200);
	state.MV.soloMesh = 0;
	const Image solo = Draw(state);
	EXPECT_GT(solo.Count({255, 0, 0, 255}), 200);
	EXPECT_GT(solo.Count({0, 255, 0, 255}), 0);
	EXPECT_LE(solo.Count({0, 255, 0, 255}), 3);
}

TEST_F(RenderTest, MeshAndBoneHighlights)
{
	ViewerState state = Scene(kFaces | kColors);
	const std::array<float, 4> grey = {0.5f, 0.5f, 0.5f, 1};
	AddMesh(state.model, {Facing(0.5f, grey, {0, 0, 1}, 0)});
	state.model.bonemap = {0, 1};
	state.model.MD.meshVisible[0] = 0; // hidden meshes can still be highlighted
	state.smesh = 0;
	EXPECT_GT(Draw(state).Count({0, 0, 255, 255}), 50);
	state.smesh = -1;
	state.sbone = 0;
	EXPECT_GT(Draw(state).Count({255, 0, 0, 255}), 50);
	state.sbone = 1; // moves no vertex
	EXPECT_EQ(Draw(state).Count({255, 0, 0, 255}), 0);
}

TEST_F(RenderTest, VertexArraysDrawWhatImmediateModeDraws)
{
	ViewerState state = Scene(kFaces | kColors | kLighting | kAxes | kCullAuto);
	ResetModelView(state.MV);
	const std::array<float, 4> colours[] = {{1, 0, 0, 1}, {0.2f, 0.7f, 0.1f, 0.5f}, {0.3f, 0.3f, 0.9f, 1}};
	std::vector<Triangle> mixed;
	for (int i = 0; i < 3; ++i) {
		Triangle t = Facing(0.4f + 0.1f * float(i), colours[i], {0.3f, 0.5f, 0.8f});
		t.v[1].color[1] = 0.9f; // corners of different colours
		mixed.push_back(t);
	}
	AddMesh(state.model, mixed);
	AddMesh(state.model, {Facing(0.6f, colours[2], {0, 0.6f, 0.8f})}, 1);
	for (std::uint32_t flags : {kFaces | kColors | kLighting, kFaces | kColors, kFaces | kLighting, std::uint32_t(kColors)}) {
		state.MV.flags = flags | kAxes;
		EXPECT_EQ(Draw(state, render::DrawMode::Immediate), Draw(state, render::DrawMode::VertexArrays)) << flags;
	}
}

// Every real model, centred, draws model pixels in the middle, both ways
// alike, its textures from its archive.
TEST_F(RenderTest, EveryCorpusModel)
{
	int models = 0;
	int textured = 0; // with textures the archive holds: they change the picture
	for (const nlohmann::json& archive : testing::CorpusInventory()) {
		testing::ScriptedDialogs front;
		Viewer viewer(front);
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
			EXPECT_EQ(image, Draw(state, render::DrawMode::Immediate));
			const std::vector<RgbaImage>& textures = state.tx.images;
			if (std::any_of(textures.begin(), textures.end(), [](const RgbaImage& t) { return !t.rgba.empty(); })) {
				++textured;
				state.MV.flags &= ~std::uint32_t(kTextures);
				EXPECT_NE(image, Draw(state));
				state.MV.flags |= kTextures;
			}
			int model = 0;
			for (int y = kSize / 2 - 8; y < kSize / 2 + 8; ++y)
				for (int x = kSize / 2 - 8; x < kSize / 2 + 8; ++x)
					model += image.at(x, y) != Pixel{0, 0, 255, 255} ? 1 : 0;
			EXPECT_GT(model, 0);
			++models;
		}
	}
	EXPECT_GE(models, 20);
	EXPECT_GE(textured, 15);
}

// Real archives cut short, and the demo with bytes overwritten across its
// model: each opens with a message or what reads, and what reads draws.
TEST_F(RenderTest, DamagedArchivesDrawWhatReads)
{
	std::vector<std::vector<std::uint8_t>> damaged;
	for (const char* file : {"brres/kuribo.brres", "brres/human_walk.brres", "brres/FlagB2.brres"}) {
		const std::vector<std::uint8_t> whole = ReadWholeFile(testing::kCorpusDir + "/" + file).bytes;
		for (const std::size_t cut : {std::size_t(16), std::size_t(0x80), whole.size() / 3, whole.size() / 2,
				 whole.size() - 1})
			damaged.emplace_back(whole.begin(), whole.begin() + std::ptrdiff_t(std::min(cut, whole.size())));
	}
	const std::vector<std::uint8_t> demo = ReadWholeFile(std::string(ZENTARRA_SOURCE_DIR) + "/samples/demo.brres").bytes;
	for (std::size_t at = 0x40; at + 4 < demo.size(); at += demo.size() / 23) {
		std::vector<std::uint8_t> bytes = demo;
		std::fill_n(bytes.begin() + std::ptrdiff_t(at), 4, std::uint8_t(0xFF));
		damaged.push_back(std::move(bytes));
	}
	const std::string path = ::testing::TempDir() + "damaged.brres";
	for (std::size_t i = 0; i < damaged.size(); ++i) {
		SCOPED_TRACE(i);
		ASSERT_TRUE(WriteFileAtomically(path, damaged[i]));
		testing::ScriptedDialogs front;
		Viewer viewer(front);
		viewer.OpenFiles({path});
		for (const ItemRecord& item : viewer.items().items()) {
			if (item.kind != ItemKind::MDL0)
				continue;
			viewer.LoadModel(item.id);
			if (viewer.state().model.MD.nMesh > 0) {
				Draw(viewer.state()); // no GL error
			} else {
				EXPECT_FALSE(front.messages.empty());
			}
		}
		if (viewer.items().items().empty()) {
			EXPECT_FALSE(front.messages.empty());
		}
	}
}

TEST_F(RenderTest, BoneSliderRePosesThePicture)
{
	const std::string path = ::testing::TempDir() + "pose.brres";
	ASSERT_TRUE(WriteFileAtomically(path, testing::DemoArchive()));
	testing::ScriptedDialogs front;
	Viewer viewer(front);
	viewer.OpenFiles({path});
	viewer.LoadModel(viewer.FindEntry("crate", ItemKind::MDL0));
	viewer.Command(kCmdMore);
	viewer.ActivateModelNode(BoneNode(2)); // crate_lid
	const Image before = Draw(viewer.state());
	viewer.BoneSlidersMoved({90, 0, 0});
	EXPECT_NE(Draw(viewer.state()), before);
}

TEST(Offscreen, NoDisplayIsAMessage)
{
	std::string error;
	EXPECT_EQ(render::OffscreenContext::Create(0, 10, error), nullptr);
	EXPECT_FALSE(error.empty());
}

} // namespace
} // namespace zentarra
