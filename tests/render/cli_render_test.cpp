// zentarra-cli render, run as a user runs it.
#include "../export/cli_run.h"
#include "../export/png_read.h"
#include "base/file_io.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zentarra {
namespace {

using testing::Quote;
using testing::RunCommand;

// Mesa's threads still run when the program ends, and the sanitizer build's
// leak checker, stopping them to look, crashes now and then (as under Qt):
// the drawing commands are checked for memory errors, not leaks.
testing::CommandResult RunCli(const std::string& arguments)
{
	return RunCommand("ASAN_OPTIONS=detect_leaks=0:halt_on_error=1 " + Quote(ZENTARRA_CLI) + " " + arguments);
}

const std::string kDemo = std::string(ZENTARRA_SOURCE_DIR) + "/samples/demo.brres";

std::vector<std::uint8_t> Decoded(const std::filesystem::path& png, int& width, int& height)
{
	return testing::DecodePNG(ReadWholeFile(png).bytes, &width, &height);
}

TEST(CliRender, OptionsChangeThePicture)
{
	testing::TempDir dir;
	const std::string plain = (dir.path / "plain.png").string();
	ASSERT_EQ(RunCli("render " + Quote(kDemo) + " crate -o " + Quote(plain)).status, 0);
	int width = 0, height = 0;
	const std::vector<std::uint8_t> image = Decoded(plain, width, height);
	EXPECT_EQ(width, 640);
	EXPECT_EQ(height, 480);

	const char* variants[] = {"--wireframe", "--no-axes", "--no-lighting", "--center", "--rotate 45,10",
		"--background 10,20,30", "--anim crate_open --frame 20"};
	for (const char* options : variants) {
		const std::string out = (dir.path / "v.png").string();
		const testing::CommandResult run = RunCli("render " + Quote(kDemo) + " crate -o " + Quote(out) + " " + options);
		ASSERT_EQ(run.status, 0) << options << run.err;
		EXPECT_NE(Decoded(out, width, height), image) << options;
	}

	const std::string small = (dir.path / "small.png").string();
	ASSERT_EQ(RunCli("render " + Quote(kDemo) + " crate --size 32x24 --background 0,0,255 -o " + Quote(small)).status, 0);
	const std::vector<std::uint8_t> corner = Decoded(small, width, height);
	EXPECT_EQ(width, 32);
	EXPECT_EQ(std::vector<std::uint8_t>(corner.begin(), corner.begin() + 4), (std::vector<std::uint8_t>{0, 0, 255, 255}));
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
		{"__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent ", "crate", 1, "no OpenGL display"},
		{"MESA_GL_VERSION_OVERRIDE=3.2FC ", "crate", 1, "no fixed-function pipeline"},
		{"", "nothing", 1, "no model named \"nothing\""},
		{"", "crate --size 0x10", 2, "--size"},
		{"", "crate --rotate 1", 2, "--rotate"},
		{"", "crate --background 1,2,300", 2, "--background"},
		{"", "crate --anim crate_open --frame 400", 1, "outside the animation's frames"},
	};
	for (const auto& c : cases) {
		const testing::CommandResult run =
			RunCommand(c.environment + Quote(ZENTARRA_CLI) + " render " + Quote(kDemo) + " " + c.arguments + " -o " + out);
		EXPECT_EQ(run.status, c.status) << c.arguments;
		EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
	}
	EXPECT_FALSE(std::filesystem::exists(dir.path / "x.png"));

	// a model cut short draws what reads or refuses, the loader's message on stderr
	const std::vector<std::uint8_t> demo = ReadWholeFile(kDemo).bytes;
	for (std::size_t cut : {std::size_t(0x200), std::size_t(0x800), std::size_t(0x1800), demo.size() - 16}) {
		ASSERT_TRUE(WriteFileAtomically(dir.path / "cut.brres", std::span(demo.data(), cut)));
		const testing::CommandResult run = RunCli("render " + Quote((dir.path / "cut.brres").string()) + " crate -o " + out);
		EXPECT_TRUE(run.status == 0 || (run.status == 1 && !run.err.empty())) << cut << run.err;
	}
}

TEST(CliRender, TextureAndPaletteViews)
{
	testing::TempDir dir;
	const std::string out = (dir.path / "t.png").string();
	const struct {
		std::string arguments;
		int width, height;
	} views[] = {
		{"crate_shadow", 64, 32}, // the power-of-two size
		{"crate_shadow --channel alpha --zoom 2 --pan 8,-4 --size 100x50", 100, 50},
		{"--palette-view crate_label", 64, 64},
	};
	std::vector<std::vector<std::uint8_t>> pictures;
	for (const auto& view : views) {
		const testing::CommandResult run = RunCli("render-texture " + Quote(kDemo) + " " + view.arguments + " -o " + Quote(out));
		ASSERT_EQ(run.status, 0) << view.arguments << run.err;
		int width = 0, height = 0;
		pictures.push_back(Decoded(out, width, height));
		EXPECT_EQ(width, view.width) << view.arguments;
		EXPECT_EQ(height, view.height) << view.arguments;
	}
	EXPECT_NE(std::count(pictures[0].begin(), pictures[0].end(), 0), std::ptrdiff_t(pictures[0].size()));

	for (const char* bad : {"nothing", "crate_shadow --pan 1", "crate_shadow --zoom 0", "crate_shadow --channel red"}) {
		const testing::CommandResult run = RunCli("render-texture " + Quote(kDemo) + " " + bad + " -o " + Quote(out));
		EXPECT_NE(run.status, 0) << bad;
		EXPECT_FALSE(run.err.empty()) << bad;
	}
}

} // namespace
} // namespace zentarra
