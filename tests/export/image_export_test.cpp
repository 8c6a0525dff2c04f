// PNG back through libpng, TGA byte for byte, the silent image exports, and
// which of a model's textures are written as TGA beside it.
#include "archive/brres_directory.h"
#include "export/auto_export.h"
#include "export/cli_run.h"
#include "export/png.h"
#include "export/png_read.h"
#include "export/tga.h"
#include "model/mdl0_reader.h"
#include "support/mdl0_writer.h"
#include "support/tex0_writer.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zentarra {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::ReadText;

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
	EXPECT_EQ(testing::DecodePNG(Written(true, 3, 2, kImage)), kImage);
	const Bytes grey(2 * 2 * 4, 77);
	const Bytes greyFile = Written(true, 2, 2, grey);
	EXPECT_EQ(greyFile[25], 6); // an even grey stays colour type 6
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

std::vector<std::string> Listing(const fs::path& dir)
{
	std::vector<std::string> names;
	for (const auto& entry : fs::directory_iterator(dir))
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
	fs::create_directory(dir.path / "busy.png");
	fs::create_directory(dir.path / "busy.tga");
	for (const auto& [exportFile, extension] : {std::pair<AutoExport, std::string>{AutoExportToPNG, ".png"}, {AutoExportToTGA, ".tga"}}) {
		SCOPED_TRACE(extension);
		const fs::path path = dir.path / ("pre_tex" + extension);
		ASSERT_TRUE(exportFile(3, 2, kImage, "tex", folder + "pre_", 0)); // joined as text: no separator is added
		const std::string first = ReadText(path);
		ASSERT_FALSE(first.empty());
		EXPECT_TRUE(exportFile(3, 2, other, "tex", folder + "pre_", 0));
		EXPECT_EQ(ReadText(path), first);
		EXPECT_TRUE(exportFile(3, 2, other, "tex", folder + "pre_", 1));
		EXPECT_NE(ReadText(path), first);
		EXPECT_FALSE(exportFile(3, 2, kImage, "x", folder + "missing/", 1));
		EXPECT_FALSE(exportFile(3, 2, kImage, "busy", folder, 1)); // a directory
		EXPECT_FALSE(exportFile(3, 3, kImage, "short", folder, 1));
	}
	EXPECT_FALSE(AutoExportToPNG(0, 1, kImage, "empty", folder, 1)); // libpng's error
	EXPECT_EQ(Listing(dir.path), (std::vector<std::string>{"busy.png", "busy.tga", "pre_tex.png", "pre_tex.tga"}));
}

// An archive's items and files, and its model.
struct Archive {
	explicit Archive(Bytes bytes)
	{
		ByteView view(bytes);
		ReadBRRES(view, "test.brres", items, nullptr);
		for (const ItemRecord& item : items.items())
			if (item.kind == ItemKind::MDL0) {
				ByteView modelView(bytes);
				EXPECT_TRUE(ReadModel(modelView, item.offset, model).ok);
				archiveId = item.archive;
			}
		files.Put("test.brres", std::move(bytes));
	}
	std::vector<std::string> Export(const fs::path& dir, int overwrite)
	{
		std::vector<std::string> lines;
		for (const TextureExport& line : AutoExport(model.MD, archiveId, items, files, dir.string() + "/", overwrite)) {
			const char* outcome[] = {"written", "kept", "skipped", "failed"};
			lines.push_back(std::to_string(line.material) + " " + line.texture + " " + outcome[int(line.outcome)] +
				(line.reason.empty() ? "" : ": " + line.reason));
		}
		return lines;
	}
	OpenArchives items;
	ArchiveFiles files;
	int archiveId = 0;
	LoadedModel model;
};

// Three meshes, five materials naming t0..t4; t1 is missing, t3's palette too.
TEST(ModelTextureExport, OnlyMaterialsBelowTheMeshCountAndMissingOnesSkipped)
{
	using namespace testing;
	Mdl0Model model;
	model.positions.push_back({.name = "pos", .values = {0, 0, 0, 1, 0, 0, 0, 1, 0}});
	model.bones.push_back({.name = "root", .node = 0});
	DrawList draw{"DrawOpa", {}};
	for (int m = 0; m < 3; ++m) {
		model.meshes.push_back({.name = "mesh" + std::to_string(m), .primitives = {Triangles({0, 1, 2})}});
		draw.calls.push_back({.material = m, .mesh = m});
	}
	const Bytes grey = BuildTEX0(1, 8, 4, Bytes(32, 128)), indexed = BuildTEX0(9, 8, 4, Bytes(32, 1));
	const auto archive = [&] {
		return BuildBRRES({{"3DModels(NW4R)", {{"model", BuildMDL0(model)}}},
			{"Textures(NW4R)", {{"t0", grey}, {"t2", indexed}, {"t3", indexed}, {"t4", grey}}},
			{"Palettes(NW4R)", {{"p2", BuildPLT0(1, {0, 0xFFFF})}, {"p4", BuildPLT0(1, {0})}}}});
	};
	TempDir dir;
	EXPECT_TRUE(Archive(archive()).Export(dir.path, 1).empty()); // no materials

	for (int i = 0; i < 5; ++i)
		model.materials.push_back({.name = "mat" + std::to_string(i),
			.layers = {{.texture = "t" + std::to_string(i), .palette = i >= 2 ? "p" + std::to_string(i) : ""}}});
	model.drawLists = {draw};
	// materials 3 and 4 lie beyond the three meshes
	EXPECT_EQ(Archive(archive()).Export(dir.path, 1),
		(std::vector<std::string>{"0 t0 written", "1 t1 skipped: no texture \"t1\" in the open archives", "2 t2 written"}));
	const std::string t2 = ReadText(dir.path / "t2.tga"); // t2 took its white palette entry 1
	ASSERT_EQ(t2.size(), 18u + 8 * 4 * 3);
	EXPECT_EQ(std::uint8_t(t2[18]), 255);

	// without overwriting an existing file stays as it is
	fs::resize_file(dir.path / "t0.tga", 5);
	EXPECT_EQ(Archive(archive()).Export(dir.path, 0)[0], "0 t0 kept");
	EXPECT_EQ(fs::file_size(dir.path / "t0.tga"), 5u);
}

} // namespace
} // namespace zentarra
