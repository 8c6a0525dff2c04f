// The viewer's texture commands: the model's textures, the texture and
// palette views, and damaged textures.
#include "../export/png_read.h"
#include "support/demo_archive.h"
#include "support/tex0_writer.h"
#include "support/viewer_fixture.h"

#include <cstring>

namespace zentarra {
namespace {

using testing::Bytes;
using testing::BuildBRRES;
using testing::BuildTEX0;

class ViewerTextures : public testing::ViewerFixture {
protected:
	// The wood texture alone, in green, in an archive of its own.
	void OpenOther() { Open("other.brres", BuildBRRES({{"Textures(NW4R)", {{"crate_wood", Solid(8, 0, 255, 0)}}}})); }
	// A texture of one colour, RGBA8.
	static Bytes Solid(int size, std::uint8_t r, std::uint8_t g, std::uint8_t b)
	{
		Bytes rgba;
		for (int i = 0; i < size * size; ++i)
			rgba.insert(rgba.end(), {r, g, b, 255});
		return BuildTEX0(6, size, size, testing::EncodeRGBA8(size, size, rgba));
	}
	static const std::uint8_t* Texel(const RgbaImage& image, int x, int y)
	{
		return &image.rgba[(std::size_t(y) * std::size_t(image.width) + std::size_t(x)) * 4];
	}
};

TEST_F(ViewerTextures, ModelTexturesFromTheModelsArchiveOn)
{
	OpenOther(); // the same texture name in an archive opened earlier: the model's own comes first
	Open("demo.brres", testing::DemoArchive());
	viewer.LoadModel(Entry("crate", ItemKind::MDL0));
	const ModelTextures& tx = state().tx;
	// the band mirrored along S
	EXPECT_EQ(std::pair(tx.images[2].width, tx.images[2].height), std::pair(32, 16));
	EXPECT_NE(Texel(tx.images[0], 5, 5)[1], 255); // wood, not the other archive's green

	// one texture on the whole model, textures shown again
	viewer.Command(kCmdTextures);
	viewer.ActivateFileItem(Entry("crate_shadow", ItemKind::TEX0));
	OnEntry(Entry("crate_shadow", ItemKind::TEX0), kCmdTextureOnModel);
	EXPECT_TRUE(state().MV.flags & kTextures);
	EXPECT_EQ(tx.meshTex, (std::vector<int>{0, 0, 0, 0}));
	EXPECT_EQ(std::pair(tx.images[0].width, tx.images[0].height), std::pair(64, 32)); // rescaled, not mirrored

	// with the demo closed only the wood is found, in the other archive; the rest draws untextured, silently
	viewer.Command(kCmdCloseAllFiles);
	OpenOther();
	viewer.Command(kCmdReloadTextures);
	EXPECT_EQ(tx.meshTex, (std::vector<int>{0, -1, -1, -1}));
	EXPECT_EQ(std::pair(int(Texel(tx.images[0], 1, 1)[1]), front.messages.size()), std::pair(255, std::size_t(0)));
}

TEST_F(ViewerTextures, DamagedTexturesLeaveTheViewAsItWas)
{
	Bytes huge = Solid(8, 1, 2, 3);
	huge[0x1C] = huge[0x1D] = huge[0x1E] = huge[0x1F] = 0xFF; // 65535 x 65535
	Bytes cut = Solid(64, 9, 9, 9);
	cut.resize(0x40 + 64 * 16);
	Open("bad.brres", BuildBRRES({{"Textures(NW4R)", {{"good", Solid(4, 7, 7, 7)}, {"huge", huge}, {"cut", cut}}}}));
	viewer.ActivateFileItem(Entry("good", ItemKind::TEX0));
	viewer.ActivateFileItem(Entry("huge", ItemKind::TEX0));
	EXPECT_NE(front.LastText().find("is damaged"), std::string::npos) << front.LastText();
	EXPECT_EQ(state().TD.name, "good");
	viewer.ActivateFileItem(Entry("cut", ItemKind::TEX0)); // shown as far as it reads, with a warning
	EXPECT_NE(front.LastText().find("the file ends inside its image"), std::string::npos) << front.LastText();
	EXPECT_EQ(state().TD.width, 64);
}

} // namespace
} // namespace zentarra
