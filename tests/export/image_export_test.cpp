// PNG back through libpng, TGA byte for byte, and the silent image exports.
#include "export/auto_export.h"
#include "export/cli_run.h"
#include "export/png.h"
#include "export/png_read.h"
#include "export/tga.h"

#include <gtest/gtest.h>

namespace zentarra {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using testing::ReadText;

// 3 x 2: a red, green, blue top row (green half transparent), a grey, black, white bottom row.
const Bytes kImage = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 255, 90, 90, 90, 255, 0, 0, 0, 0, 255, 255, 255, 255};

// A fresh file of the image (the writers append), from byte `from` on.
Bytes Written(bool png, int width, int height, const Bytes& rgba, std::size_t from = 0)
{
	Bytes file;
	EXPECT_TRUE(png ? WritePNG(file, width, height, rgba) : WriteTGA(file, width, height, rgba));
	return Bytes(file.begin() + std::ptrdiff_t(from), file.end());
}

TEST(PngWriter, RoundTripsThroughLibpngAndFailsWithoutOutput)
{
	EXPECT_EQ(testing::DecodePNG(Written(true, 3, 2, kImage)), kImage);
	const Bytes grey(2 * 2 * 4, 77);
	EXPECT_EQ(Written(true, 2, 2, grey)[25], 6); // an even grey stays colour type 6

	Bytes out = {1, 2, 3};
	::testing::internal::CaptureStderr(); // the core prints nothing, libpng's complaints included
	EXPECT_FALSE(WritePNG(out, 0, 1, kImage)); // libpng: zero width
	EXPECT_FALSE(WritePNG(out, 3, 3, kImage)); // buffer one row short
	EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
	EXPECT_EQ(out, (Bytes{1, 2, 3}));
}

TEST(TgaWriter, OpaqueIs24BitOneAlphaBelow255Makes32BitBottomRowFirst)
{
	EXPECT_EQ(Written(false, 2, 2, {1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255}, 12),
		(Bytes{2, 0, 2, 0, 24, 0, 9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4}));
	EXPECT_EQ(Written(false, 3, 2, kImage), (Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 32, 8, //
		90, 90, 90, 255, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0, 255, 255, 0, 255, 0, 128, 255, 0, 0, 255}));
	// only the low 16 bits of a size fit; an empty image is opaque
	Bytes file = Written(false, 65537, 0, {});
	EXPECT_EQ(Bytes(file.begin() + 12, file.end()), (Bytes{1, 0, 0, 0, 24, 0}));
	EXPECT_FALSE(WriteTGA(file, 3, 3, kImage)); // a row short
	EXPECT_FALSE(WriteTGA(file, -1, 2, kImage));
	EXPECT_EQ(file.size(), 18u);
}

TEST(AutoExport, KeepsAnExistingFileUnlessOverwritingAndFailuresLeaveNoFile)
{
	using AutoExport = bool (*)(int, int, std::span<const std::uint8_t>, std::string_view, std::string_view, int);
	const testing::TempDir dir;
	const std::string folder = dir.path.string() + "/";
	const Bytes other(3 * 2 * 4, 200);
	for (const auto& [exportFile, extension] : {std::pair<AutoExport, std::string>{AutoExportToPNG, ".png"}, {AutoExportToTGA, ".tga"}}) {
		SCOPED_TRACE(extension);
		const fs::path path = dir.path / ("pre_tex" + extension);
		ASSERT_TRUE(exportFile(3, 2, kImage, "tex", folder + "pre_", 0)); // joined as text: no separator is added
		const std::string first = ReadText(path);
		EXPECT_TRUE(exportFile(3, 2, other, "tex", folder + "pre_", 0));
		EXPECT_EQ(ReadText(path), first);
		EXPECT_TRUE(exportFile(3, 2, other, "tex", folder + "pre_", 1));
		EXPECT_NE(ReadText(path), first);
		EXPECT_FALSE(exportFile(3, 2, kImage, "x", folder + "missing/", 1));
		EXPECT_FALSE(exportFile(3, 3, kImage, "short", folder, 1));
	}
	EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2);
}

} // namespace
} // namespace zentarra
