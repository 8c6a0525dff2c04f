// The viewer's texture commands: the model's textures, the texture and
// palette views, and the texture exports through the save dialog.
#include "../export/png_read.h"
#include "support/corpus.h"
#include "support/demo_archive.h"
#include "support/tex0_writer.h"
#include "support/viewer_fixture.h"

#include <cstring>

namespace zentarra {
namespace {

using testing::Bytes;
using testing::BuildBRRES;
using testing::BuildTEX0;

using ViewerTextures = testing::ViewerFixture;

// A texture of one colour, RGBA8.
Bytes Solid(int size, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255)
{
	Bytes rgba;
	for (int i = 0; i < size * size; ++i)
		rgba.insert(rgba.end(), {r, g, b, a});
	return BuildTEX0(6, size, size, testing::EncodeRGBA8(size, size, rgba));
}

const std::uint8_t* Texel(const RgbaImage& image, int x, int y)
{
	return &image.rgba[(std::size_t(y) * std::size_t(image.width) + std::size_t(x)) * 4];
}

TEST_F(ViewerTextures, ModelTexturesFromTheModelsArchiveOn)
{
	// the same texture name in an archive opened earlier: the model's own comes first
	Open("other.brres", BuildBRRES({{"Textures(NW4R)", {{"crate_wood", Solid(8, 0, 255, 0)}}}}));
	Open("demo.brres", testing::DemoArchive());
	viewer.LoadModel(Entry("crate", ItemKind::MDL0));
	const ModelTextures& tx = state().tx;
	ASSERT_EQ(tx.loaded, 1);
	EXPECT_EQ(tx.meshTex, (std::vector<int>{0, 1, 2, 3}));
	const struct {
		int width, height;
	} sizes[] = {{64, 64}, {64, 32}, {32, 16}, {64, 32}}; // the band mirrored along S, the 48 x 20 shadow rescaled
	for (std::size_t i = 0; i < 4; ++i) {
		EXPECT_EQ(tx.images[i].width, sizes[i].width) << i;
		EXPECT_EQ(tx.images[i].height, sizes[i].height) << i;
	}
	EXPECT_NE(Texel(tx.images[0], 5, 5)[1], 255); // wood, not the other archive's green
	EXPECT_TRUE(front.messages.empty());

	// with the demo closed only the wood is found, in the other archive; the rest draws untextured, silently
	viewer.Command(kCmdCloseAllFiles);
	Open("other.brres", BuildBRRES({{"Textures(NW4R)", {{"crate_wood", Solid(8, 0, 255, 0)}}}}));
	const unsigned generation = tx.generation;
	viewer.Command(kCmdReloadTextures);
	EXPECT_NE(tx.generation, generation);
	EXPECT_EQ(tx.meshTex, (std::vector<int>{0, -1, -1, -1}));
	EXPECT_EQ(Texel(tx.images[0], 1, 1)[1], 255);
	EXPECT_TRUE(front.messages.empty());
}

TEST_F(ViewerTextures, TextureAndPaletteViews)
{
	Open("demo.brres", testing::DemoArchive());
	viewer.editState().TV.zoom = 3.0f;
	viewer.ActivateFileItem(Entry("crate_shadow", ItemKind::TEX0));
	const TextureDisplay& TD = state().TD;
	EXPECT_EQ(front.titles, (std::vector<int>{1, 0}));
	EXPECT_EQ(state().disp.view, int(kTextureView));
	EXPECT_TRUE(state().textureMenuEnabled);
	EXPECT_TRUE(viewer.menuState().textureExport);
	EXPECT_EQ(state().TV.zoom, 1.0f);
	EXPECT_EQ(TD.name, "crate_shadow");
	EXPECT_EQ((std::array{TD.width, TD.height, TD.potWidth, TD.potHeight}), (std::array{48, 20, 64, 32}));
	viewer.ActivateFileItem(Entry("crate_label", ItemKind::PLT0));
	EXPECT_EQ(state().disp.view, int(kPaletteView));
	EXPECT_EQ(TD.palLoaded, 1);
	EXPECT_EQ(TD.name, "crate_shadow"); // the texture stays
}

TEST_F(ViewerTextures, IndexedTextureTakesTheLastPaletteLoaded)
{
	Open("demo.brres", testing::DemoArchive());
	Open("lonely.brres", BuildBRRES({{"Textures(NW4R)", {{"lonely", BuildTEX0(9, 8, 4, testing::EncodeTexels(9, 8, 4,
		[](int x, int y) { return std::uint32_t(y * 8 + x); }))}}}}));
	viewer.ActivateFileItem(Entry("lonely", ItemKind::TEX0));
	ASSERT_EQ(front.messages.size(), 1u);
	EXPECT_EQ(front.messages[0].text, "Error: this texture requires a palette and no palette has been loaded.");
	EXPECT_EQ(front.messages[0].icon, MessageIcon::Error);
	EXPECT_EQ(state().TD.loaded, 0);
	EXPECT_EQ(state().disp.view, int(kModelView));

	viewer.ActivateFileItem(Entry("crate_band", ItemKind::PLT0));
	viewer.ActivateFileItem(Entry("lonely", ItemKind::TEX0));
	ASSERT_EQ(state().TD.loaded, 1);
	for (int k : {0, 9, 31})
		EXPECT_EQ(std::memcmp(&state().TD.pixels[std::size_t(k) * 4], Texel(state().TD.palTex[0], k % 16, k / 16), 4), 0);
}

TEST_F(ViewerTextures, LoadOnModel)
{
	Open("demo.brres", testing::DemoArchive());
	OnEntry("crate_label", ItemKind::TEX0, kCmdTextureOnModel);
	EXPECT_EQ(front.LastText(), "Error: no model has been loaded");

	viewer.LoadModel(Entry("crate", ItemKind::MDL0));
	viewer.Command(kCmdTextures);
	ASSERT_FALSE(state().MV.flags & kTextures);
	viewer.ActivateFileItem(Entry("crate_shadow", ItemKind::TEX0));
	OnEntry("crate_shadow", ItemKind::TEX0, kCmdTextureOnModel);
	EXPECT_TRUE(state().MV.flags & kTextures);
	EXPECT_EQ(state().disp.view, int(kModelView));
	EXPECT_EQ(state().tx.meshTex, (std::vector<int>{0, 0, 0, 0}));
	EXPECT_EQ(state().tx.images[0].width, 64); // rescaled, not mirrored
	EXPECT_EQ(state().tx.images[0].height, 32);
}

TEST_F(ViewerTextures, ExportsThroughTheSaveDialog)
{
	Open("demo.brres", testing::DemoArchive());
	viewer.ActivateFileItem(Entry("crate_label", ItemKind::TEX0));
	front.saveAnswers = {(folder / "label").string()};
	viewer.Command(kCmdExportPNG);
	ASSERT_EQ(front.saveRequests.size(), 1u);
	const SaveFileRequest& request = front.saveRequests[0];
	ASSERT_EQ(request.filters.size(), 2u);
	EXPECT_EQ(request.filters[0].label, "png files");
	EXPECT_EQ(request.filters[0].pattern, "*.png");
	EXPECT_EQ(request.filters[1].label, "All files (*.*)");
	EXPECT_EQ(request.selectedFilter, 0);
	EXPECT_EQ(request.offeredName, "crate_label");
	int width = 0, height = 0;
	EXPECT_EQ(testing::DecodePNG(ReadWholeFile(folder / "label.png").bytes, &width, &height), state().TD.pixels);
	EXPECT_EQ(width, 32);

	// the files panel's TGA of another entry; a cancel; a folder that does not exist
	front.saveAnswers = {(folder / "shadow.tga").string(), std::nullopt, (folder / "none" / "x.tga").string()};
	for (int i = 0; i < 3; ++i)
		OnEntry("crate_shadow", ItemKind::TEX0, kCmdExportTextureTGA);
	EXPECT_EQ(front.saveRequests.back().offeredName, "crate_shadow");
	EXPECT_EQ(front.saveRequests.back().filters[0].pattern, "*.tga");
	EXPECT_EQ(ReadWholeFile(folder / "shadow.tga").bytes.size(), 18u + 48u * 20u * 4u);
	EXPECT_EQ(front.LastText(), "Error: unable to write file");
	std::size_t files = 0;
	for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
		++files;
	EXPECT_EQ(files, 3u); // demo.brres, label.png, shadow.tga: nothing from the cancel, no temporary left
}

TEST_F(ViewerTextures, DamagedTexturesLeaveTheViewAsItWas)
{
	Bytes huge = Solid(8, 1, 2, 3);
	huge[0x1C] = huge[0x1D] = huge[0x1E] = huge[0x1F] = 0xFF; // 65535 x 65535
	Bytes shortPalette = testing::BuildPLT0(1, {0xF800, 0x07E0});
	shortPalette[0x1C] = 0x01; // 256 + 2 entries claimed
	Bytes cut = Solid(64, 9, 9, 9);
	cut.resize(0x40 + 64 * 16);
	Open("bad.brres", BuildBRRES({{"Textures(NW4R)", {{"good", Solid(4, 7, 7, 7)}, {"huge", huge}, {"cut", cut}}},
		{"Palettes(NW4R)", {{"short", shortPalette}}}}));
	viewer.ActivateFileItem(Entry("good", ItemKind::TEX0));

	viewer.ActivateFileItem(Entry("huge", ItemKind::TEX0));
	EXPECT_NE(front.LastText().find("is damaged"), std::string::npos) << front.LastText();
	EXPECT_EQ(state().TD.name, "good");
	EXPECT_EQ(state().TD.width, 4);

	viewer.ActivateFileItem(Entry("cut", ItemKind::TEX0)); // shown as far as it reads, with a warning
	EXPECT_NE(front.LastText().find("the file ends inside its image"), std::string::npos) << front.LastText();
	EXPECT_EQ(state().TD.width, 64);

	viewer.ActivateFileItem(Entry("short", ItemKind::PLT0));
	EXPECT_NE(front.LastText().find("is damaged"), std::string::npos) << front.LastText();
	EXPECT_EQ(Texel(state().TD.palTex[0], 1, 0)[1], 255);
	EXPECT_EQ(front.messages.size(), 3u);

	// a real archive cut inside each of its textures in turn: a warning or a refusal, never a crash
	const std::vector<std::uint8_t> real = ReadWholeFile(testing::kCorpusDir + "/brres/kuribo.brres").bytes;
	viewer.Command(kCmdCloseAllFiles);
	Open("whole.brres", real);
	std::vector<std::size_t> offsets;
	for (const ItemRecord& item : viewer.items().items())
		if (item.kind == ItemKind::TEX0)
			offsets.push_back(item.offset);
	ASSERT_FALSE(offsets.empty());
	for (std::size_t offset : offsets) {
		viewer.Command(kCmdCloseAllFiles);
		front.messages.clear();
		Open("cut.brres", std::vector<std::uint8_t>(real.begin(), real.begin() + std::ptrdiff_t(offset + 0x60)));
		for (const ItemRecord& item : viewer.items().items())
			if (item.kind == ItemKind::TEX0 && item.offset == offset)
				viewer.ActivateFileItem(item.id);
		EXPECT_FALSE(front.messages.empty()) << offset;
	}
}

} // namespace
} // namespace zentarra
