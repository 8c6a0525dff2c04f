// PNG back through libpng, TGA byte for byte, and the silent exports' files.
#include "export/cli_run.h"
#include "export/png.h"
#include "export/png_read.h"
#include "export/tga.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zentarra {
namespace {

using Bytes = std::vector<std::uint8_t>;

// 3 x 2: a red, green, blue top row (green half transparent), a grey, black, white bottom row.
const Bytes kImage = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 255, 90, 90, 90, 255, 0, 0, 0, 0, 255, 255, 255, 255};

Bytes Tail(const Bytes& bytes, std::size_t from)
{
	return Bytes(bytes.begin() + std::ptrdiff_t(from), bytes.end());
}

// A fresh file of the image: the writers append.
Bytes Written(bool png, int width, int height, const Bytes& rgba)
{
	Bytes file;
	EXPECT_TRUE(png ? WritePNG(file, width, height, rgba) : WriteTGA(file, width, height, rgba));
	return file;
}

TEST(PngWriter, RoundTripsThroughLibpngAndFailsWithoutOutput)
{
	const Bytes file = Written(true, 3, 2, kImage);
	// IHDR follows the 8-byte signature, its length and tag
	EXPECT_EQ(Bytes(file.begin() + 12, file.begin() + 29), (Bytes{'I', 'H', 'D', 'R', 0, 0, 0, 3, 0, 0, 0, 2, 8, 6, 0, 0, 0}));
	EXPECT_EQ(testing::DecodePNG(file), kImage);
	const Bytes grey(2 * 2 * 4, 77); // an even grey stays colour type 6
	const Bytes greyFile = Written(true, 2, 2, grey);
	EXPECT_EQ(greyFile[25], 6);
	EXPECT_EQ(testing::DecodePNG(greyFile), grey);

	Bytes out = {1, 2, 3};
	::testing::internal::CaptureStderr(); // the core prints nothing, libpng's complaints included
	EXPECT_FALSE(WritePNG(out, 0, 1, kImage)); // libpng: zero width
	EXPECT_FALSE(WritePNG(out, 1, 0, kImage)); // libpng: zero height
	EXPECT_FALSE(WritePNG(out, 2'000'000, 1, Bytes(8'000'000))); // libpng: beyond its width limit
	EXPECT_FALSE(WritePNG(out, 3, 3, kImage)); // buffer one row short
	EXPECT_FALSE(WritePNG(out, -3, -2, kImage));
	EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
	EXPECT_EQ(out, (Bytes{1, 2, 3}));
}

TEST(TgaWriter, OpaqueIs24BitOneAlphaBelow255Makes32BitBottomRowFirst)
{
	EXPECT_EQ(Written(false, 1, 1, {255, 0, 0, 255}), (Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 0, 0, 255}));
	EXPECT_EQ(Tail(Written(false, 2, 2, {1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255}), 12),
		(Bytes{2, 0, 2, 0, 24, 0, 9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4}));
	EXPECT_EQ(Written(false, 3, 2, kImage), (Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 32, 8, //
		90, 90, 90, 255, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0, 255, 255, 0, 255, 0, 128, 255, 0, 0, 255}));
	EXPECT_EQ(Tail(Written(false, 1, 1, {0, 0, 0, 254}), 16), (Bytes{32, 8, 0, 0, 0, 254}));

	// only the low 16 bits of a size fit; an empty image is opaque
	Bytes file = Written(false, 65537, 0, {});
	EXPECT_EQ(Tail(file, 12), (Bytes{1, 0, 0, 0, 24, 0}));
	const Bytes header = file;
	EXPECT_FALSE(WriteTGA(file, 3, 3, kImage)); // a row short
	EXPECT_FALSE(WriteTGA(file, -1, 2, kImage));
	EXPECT_EQ(file, header);
}

std::vector<std::string> Listing(const std::filesystem::path& dir)
{
	std::vector<std::string> names;
	for (const auto& entry : std::filesystem::directory_iterator(dir))
		names.push_back(entry.path().filename().string());
	std::sort(names.begin(), names.end());
	return names;
}

TEST(AutoExport, KeepsAnExistingFileUnlessOverwritingAndFailuresLeaveNoFile)
{
	using AutoExport = bool (*)(int, int, std::span<const std::uint8_t>, std::string_view, std::string_view, int);
	const testing::TempDir dir;
	const std::string folder = dir.path.string() + "/";
	const Bytes other(3 * 2 * 4, 200);
	std::filesystem::create_directory(dir.path / "busy.png");
	std::filesystem::create_directory(dir.path / "busy.tga");
	for (const auto& [exportFile, extension] : {std::pair<AutoExport, std::string>{AutoExportToPNG, ".png"}, {AutoExportToTGA, ".tga"}}) {
		SCOPED_TRACE(extension);
		const std::filesystem::path path = dir.path / ("pre_tex" + extension);
		ASSERT_TRUE(exportFile(3, 2, kImage, "tex", folder + "pre_", 0)); // joined as text: no separator is added
		const std::string first = testing::ReadText(path);
		ASSERT_FALSE(first.empty());
		EXPECT_TRUE(exportFile(3, 2, other, "tex", folder + "pre_", 0));
		EXPECT_EQ(testing::ReadText(path), first);
		EXPECT_TRUE(exportFile(3, 2, other, "tex", folder + "pre_", 1));
		EXPECT_NE(testing::ReadText(path), first);

		EXPECT_FALSE(exportFile(3, 2, kImage, "x", folder + "missing/", 1));
		EXPECT_FALSE(exportFile(3, 2, kImage, "busy", folder, 1)); // a directory
		EXPECT_FALSE(exportFile(3, 3, kImage, "short", folder, 1));
	}
	EXPECT_FALSE(AutoExportToPNG(0, 1, kImage, "empty", folder, 1)); // libpng's error
	EXPECT_EQ(Listing(dir.path), (std::vector<std::string>{"busy.png", "busy.tga", "pre_tex.png", "pre_tex.tga"}));
}

} // namespace
} // namespace zentarra
