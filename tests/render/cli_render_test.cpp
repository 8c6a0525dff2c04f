// zentarra-cli render and render-texture, run as a user runs them.
#include "../export/png_read.h"
#include "support/pixels.h"

#include <algorithm>

namespace zentarra {
namespace {

using testing::Quote;

const std::string kDemo = std::string(ZENTARRA_SOURCE_DIR) + "/samples/demo.brres";

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
	ASSERT_EQ(Render("render " + Quote(kDemo) + " crate -o " + out).status, 0);
	const testing::Image plain = Decoded(dir.path / "v.png");
	EXPECT_EQ(std::pair(plain.width, plain.height), std::pair(640, 480));
	for (const char* options : {"--wireframe", "--no-axes", "--no-lighting", "--center", "--rotate 45,10",
			 "--background 10,20,30", "--anim crate_open --frame 20"}) {
		const testing::CommandResult run = Render("render " + Quote(kDemo) + " crate -o " + out + " " + options);
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
			Render(std::string(view.command) + " " + Quote(kDemo) + " " + view.arguments + " -o " + out);
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
		arguments.replace(arguments.find("{demo}"), 6, Quote(kDemo));
		const testing::CommandResult run = Render(arguments + " -o " + out, c.environment);
		EXPECT_EQ(run.status, c.status) << c.arguments;
		EXPECT_FALSE(run.err.empty()) << c.arguments;
		EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
	}
	EXPECT_FALSE(std::filesystem::exists(dir.path / "x.png"));

	// a model cut short draws what reads or refuses, the loader's message on stderr
	const std::vector<std::uint8_t> demo = ReadWholeFile(kDemo).bytes;
	for (std::size_t cut : {std::size_t(0x200), std::size_t(0x800), std::size_t(0x1800), demo.size() - 16}) {
		ASSERT_TRUE(WriteFileAtomically(dir.path / "cut.brres", std::span(demo.data(), cut)));
		const std::string cutPath = Quote((dir.path / "cut.brres").string());
		const testing::CommandResult run = Render("render " + cutPath + " crate -o " + out);
		EXPECT_TRUE(run.status == 0 || (run.status == 1 && !run.err.empty())) << cut << run.err;
	}
}

} // namespace
} // namespace zentarra
