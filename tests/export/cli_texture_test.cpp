// zentarra-cli export-texture and export-model --textures, run as a user runs them.
#include "export/cli_run.h"
#include "export/png_read.h"
#include "support/brres_writer.h"
#include "support/tex0_writer.h"

#include <gtest/gtest.h>

namespace zentarra::testing {
namespace {

namespace fs = std::filesystem;

const std::string kDemo = Quote(std::string(ZENTARRA_SOURCE_DIR) + "/samples/demo.brres");

Bytes ReadBytes(const fs::path& path)
{
	const std::string text = ReadText(path);
	return Bytes(text.begin(), text.end());
}

TEST(CliExportTexture, PngAndTgaOfTheSameImage)
{
	TempDir dir;
	const fs::path png = dir.path / "band.png", tga = dir.path / "band.tga";
	CommandResult run = RunCli("export-texture " + kDemo + " crate_band -o " + Quote(png.string()));
	ASSERT_EQ(run.status, 0) << run.err;
	EXPECT_EQ(run.err, "");
	int width = 0, height = 0;
	const Bytes rgba = DecodePNG(ReadBytes(png), &width, &height);
	ASSERT_EQ(rgba.size(), 32u * 32u * 4u);
	EXPECT_EQ(width, 32);
	EXPECT_EQ(height, 32);

	run = RunCli("export-texture " + kDemo + " 'Textures(NW4R)/crate_band' -f tga -o " + Quote(tga.string()));
	ASSERT_EQ(run.status, 0) << run.err;
	const Bytes file = ReadBytes(tga);
	ASSERT_EQ(file.size(), 18u + 32 * 32 * 3); // opaque: 24 bits
	// the TGA's first pixel is the bottom-left texel, B G R
	const std::size_t bottomLeft = 31 * 32 * 4;
	EXPECT_EQ((Bytes{file[20], file[19], file[18]}), (Bytes{rgba[bottomLeft], rgba[bottomLeft + 1], rgba[bottomLeft + 2]}));

	// a palette named by the user wins over the texture's own
	const fs::path other = dir.path / "other.png";
	run = RunCli("export-texture " + kDemo + " crate_band --palette crate_label -o " + Quote(other.string()));
	ASSERT_EQ(run.status, 0) << run.err;
	EXPECT_NE(DecodePNG(ReadBytes(other)), rgba);
}

TEST(CliExportTexture, FailuresSayWhy)
{
	TempDir dir;
	const std::string out = Quote((dir.path / "x.png").string());
	CommandResult run = RunCli("export-texture " + kDemo + " nothing -o " + out);
	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(run.err.rfind("Error: no texture named \"nothing\"; its textures are Textures(NW4R)/crate_wood", 0), 0u)
		<< run.err;
	run = RunCli("export-texture " + kDemo + " crate_wood --palette nothing -o " + out);
	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(run.err.rfind("Error: no palette named \"nothing\"", 0), 0u) << run.err;
	EXPECT_EQ(RunCli("export-texture " + kDemo + " crate_wood -f bmp -o " + out).status, 2);

	// colour-indexed without a palette of its name
	const fs::path archive = dir.path / "ci.brres";
	const Bytes bytes = BuildBRRES({{"Textures(NW4R)", {{"ci", BuildTEX0(8, 8, 8, Bytes(32, 0x12))}}}});
	std::ofstream(archive, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
	run = RunCli("export-texture " + Quote(archive.string()) + " ci -o " + out);
	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(run.err, "Error: this texture requires a palette and no palette has been loaded.\n");
	EXPECT_FALSE(fs::exists(dir.path / "x.png"));
}

TEST(CliExportModel, TexturesGoBesideTheModel)
{
	TempDir dir;
	const fs::path obj = dir.path / "crate.obj";
	std::ofstream(dir.path / "crate_wood.tga") << "old";
	const CommandResult run = RunCli("export-model " + kDemo + " crate --textures -o " + Quote(obj.string()));
	ASSERT_EQ(run.status, 0) << run.err;
	const std::string folder = dir.path.string() + "/";
	EXPECT_EQ(run.out, folder + "crate_wood.tga\n" + folder + "crate_band.tga\n" + folder + "crate_label.tga\n" +
			folder + "crate_shadow.tga\n");
	EXPECT_EQ(fs::file_size(dir.path / "crate_wood.tga"), 18u + 64 * 64 * 3); // replaced
	EXPECT_EQ(fs::file_size(dir.path / "crate_shadow.tga"), 18u + 48 * 20 * 4);
	EXPECT_TRUE(fs::exists(dir.path / "crate.mtl"));
	EXPECT_NE(ReadText(dir.path / "crate.mtl").find("crate_label.tga"), std::string::npos);
}

} // namespace
} // namespace zentarra::testing
