// PNG back through libpng, TGA byte for byte, and the silent exports' files.
#include "export/cli_run.h"
#include "export/png_read.h"
#include "export/png.h"
#include "export/tga.h"

#include <gtest/gtest.h>

#include <algorithm>


namespace zentarra {
namespace {

using testing::ReadText;
using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

// 3 x 2: a red, green, blue top row (green half transparent), a grey, black,
// white bottom row.
const Bytes kImage = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 255, //
	90, 90, 90, 255, 0, 0, 0, 0, 255, 255, 255, 255};

std::vector<std::string> Listing(const std::filesystem::path& dir)
{
	std::vector<std::string> names;
	for (const auto& entry : std::filesystem::directory_iterator(dir))
		names.push_back(entry.path().filename().string());
	std::sort(names.begin(), names.end());
	return names;
}

TEST(PngWriter, RoundTripsThroughLibpngAsRgba8)
{
	Bytes file;
	ASSERT_TRUE(WritePNG(file, 3, 2, kImage));
	ASSERT_GT(file.size(), 33u);
	// IHDR follows the 8-byte signature, its length and tag
	EXPECT_EQ(Bytes(file.begin() + 12, file.begin() + 16), (Bytes{'I', 'H', 'D', 'R'}));
	EXPECT_EQ(Bytes(file.begin() + 16, file.begin() + 29), (Bytes{0, 0, 0, 3, 0, 0, 0, 2, 8, 6, 0, 0, 0}));
	EXPECT_EQ(testing::DecodePNG(file), kImage);

	const Bytes grey(2 * 2 * 4, 77); // an even grey stays colour type 6
	Bytes greyFile;
	ASSERT_TRUE(WritePNG(greyFile, 2, 2, grey));
	EXPECT_EQ(greyFile[25], 6);
	EXPECT_EQ(testing::DecodePNG(greyFile), grey);
}

TEST(PngWriter, LibpngErrorsAndShortBuffersFailWithoutOutput)
{
	const Bytes before = {1, 2, 3};
	Bytes out = before;
	::testing::internal::CaptureStderr(); // the core prints nothing, libpng's complaints included
	EXPECT_FALSE(WritePNG(out, 0, 1, kImage)); // libpng: zero width
	EXPECT_FALSE(WritePNG(out, 1, 0, kImage)); // libpng: zero height
	EXPECT_FALSE(WritePNG(out, 2'000'000, 1, Bytes(8'000'000))); // libpng: beyond its width limit
	EXPECT_FALSE(WritePNG(out, 3, 3, kImage)); // buffer one row short
	EXPECT_FALSE(WritePNG(out, -3, -2, kImage));
	EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
	EXPECT_EQ(out, before);
}

TEST(TgaWriter, OpaqueIs24BitBottomRowFirst)
{
	Bytes red;
	ASSERT_TRUE(WriteTGA(red, 1, 1, Bytes{255, 0, 0, 255}));
	EXPECT_EQ(red, (Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 0, 0, 255}));

	const Bytes opaque = {1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255};
	Bytes file;
	ASSERT_TRUE(WriteTGA(file, 2, 2, opaque));
	EXPECT_EQ(Bytes(file.begin() + 12, file.begin() + 18), (Bytes{2, 0, 2, 0, 24, 0}));
	EXPECT_EQ(Bytes(file.begin() + 18, file.end()), (Bytes{9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4}));
}

TEST(TgaWriter, OneAlphaBelow255Makes32Bit)
{
	Bytes file;
	ASSERT_TRUE(WriteTGA(file, 3, 2, kImage));
	ASSERT_EQ(file.size(), 18u + 3 * 2 * 4);
	EXPECT_EQ(Bytes(file.begin(), file.begin() + 18),
		(Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 32, 8}));
	EXPECT_EQ(Bytes(file.begin() + 18, file.end()), (Bytes{90, 90, 90, 255, 0, 0, 0, 0, 255, 255, 255, 255, //
														  0, 0, 255, 255, 0, 255, 0, 128, 255, 0, 0, 255}));

	Bytes one;
	ASSERT_TRUE(WriteTGA(one, 1, 1, Bytes{0, 0, 0, 254}));
	EXPECT_EQ(Bytes(one.begin() + 16, one.end()), (Bytes{32, 8, 0, 0, 0, 254}));

	// only the low 16 bits of a size fit; an empty image is opaque
	Bytes wide;
	ASSERT_TRUE(WriteTGA(wide, 65537, 0, {}));
	EXPECT_EQ(Bytes(wide.begin() + 12, wide.end()), (Bytes{1, 0, 0, 0, 24, 0}));
	const Bytes header = wide;
	EXPECT_FALSE(WriteTGA(wide, 3, 3, kImage)); // a row short
	EXPECT_FALSE(WriteTGA(wide, -1, 2, kImage));
	EXPECT_EQ(wide, header);
}

using AutoExport = bool (*)(int, int, std::span<const std::uint8_t>, std::string_view, std::string_view, int);

struct Format {
	AutoExport exportFile;
	const char* extension;
};

const Format kFormats[] = {{AutoExportToPNG, ".png"}, {AutoExportToTGA, ".tga"}};

TEST(AutoExport, KeepsAnExistingFileUnlessOverwriting)
{
	TempDir dir;
	const std::string folder = dir.path.string() + "/pre_"; // joined as text: no separator is added
	const Bytes other(3 * 2 * 4, 200);
	for (const Format& format : kFormats) {
		const std::filesystem::path path = dir.path / (std::string("pre_tex") + format.extension);
		ASSERT_TRUE(format.exportFile(3, 2, kImage, "tex", folder, 0));
		const std::string first = ReadText(path);
		ASSERT_FALSE(first.empty());
		EXPECT_TRUE(format.exportFile(3, 2, other, "tex", folder, 0));
		EXPECT_EQ(ReadText(path), first) << format.extension;
		EXPECT_TRUE(format.exportFile(3, 2, other, "tex", folder, 1));
		EXPECT_NE(ReadText(path), first) << format.extension;
	}
	EXPECT_EQ(Listing(dir.path), (std::vector<std::string>{"pre_tex.png", "pre_tex.tga"}));
}

TEST(AutoExport, FailuresLeaveNoFileBehind)
{
	TempDir dir;
	const std::string folder = dir.path.string() + "/";
	std::filesystem::create_directory(dir.path / "busy.png");
	std::filesystem::create_directory(dir.path / "busy.tga");
	for (const Format& format : kFormats) {
		EXPECT_FALSE(format.exportFile(3, 2, kImage, "x", folder + "missing/", 1)) << format.extension;
		EXPECT_FALSE(format.exportFile(3, 2, kImage, "busy", folder, 1)) << format.extension; // a directory
		EXPECT_FALSE(format.exportFile(3, 3, kImage, "short", folder, 1)) << format.extension;
	}
	EXPECT_FALSE(AutoExportToPNG(0, 1, kImage, "empty", folder, 1)); // libpng's error
	EXPECT_EQ(Listing(dir.path), (std::vector<std::string>{"busy.png", "busy.tga"}));
}

} // namespace
} // namespace zentarra
