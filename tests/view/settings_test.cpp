// The settings file: its reader's rules, the values written, damaged files.
#include "base/file_io.h"
#include "view/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace zentarra {
namespace {

struct Settings {
	ModelView MV;
	TextureView TV;
	DisplaySettings disp;
	AnimState anim;
};

Settings Read(std::string_view text)
{
	Settings s;
	ReadConfigText(text, s.MV, s.TV, s.disp, s.anim);
	return s;
}

TEST(Settings, DefaultsWithoutAFile)
{
	Settings s;
	ReadConfigFile("/nonexistent/zentarra.ini", s.MV, s.TV, s.disp, s.anim);
	EXPECT_EQ(s.MV.flags, 0xFFu);
	EXPECT_EQ(s.disp.main.width, 650);
	EXPECT_EQ(s.disp.main.height, 515);
	EXPECT_EQ(s.disp.files.x, 4);
	EXPECT_EQ(s.disp.model.height, 360);
	EXPECT_EQ(s.anim.defaultSpeed, -3);
	EXPECT_EQ(s.TV.channel, 0);
}

TEST(Settings, ReaderRules)
{
	// one line: every other key missing, so flags off and the smallest windows
	Settings s = Read("faces=0\n");
	EXPECT_EQ(s.MV.flags, 0u);
	EXPECT_EQ(s.disp.main.width, 150);
	EXPECT_EQ(s.disp.files.height, 100);
	EXPECT_EQ(s.anim.defaultSpeed, 0);

	const std::pair<const char*, std::uint32_t> culling[] = {
		{"back_culling=auto\n", 0xC0}, {"back_culling=1\n", 0x40}, {"back_culling=2\n", 0x40}, {"back_culling=0\n", 0}};
	for (const auto& [text, bits] : culling)
		EXPECT_EQ(Read(text).MV.flags & 0xC0u, bits) << text;

	EXPECT_EQ(Read("faces = 1\n").MV.flags & kFaces, 0u); // blanks around "=": another key
	EXPECT_EQ(ReadINI("[x]\nfaces=1\nfaces=0\n", "faces"), 1); // the first line wins
	EXPECT_EQ(ReadINI("[windows]\n\n\nmain_window_pos_x=  -17\n", "main_window_pos_x"), -17);
	EXPECT_EQ(ReadINI("default_speed=fast\n", "default_speed"), 0);
	EXPECT_EQ(ReadINItext("channel=alpha extra\n", "channel"), "alpha");
	EXPECT_EQ(Read("channel=alpha\n").TV.channel, 2);
	EXPECT_EQ(Read("channel=colors\r\n").TV.channel, 1);
	EXPECT_EQ(Read("channel=other\n").TV.channel, 0);
	EXPECT_EQ(Read("main_window_width=-5\nmain_window_height=100000\n").disp.main.width, 150);
}

TEST(Settings, WrittenAndReadBack)
{
	Settings s;
	SetDefaultConfig(s.MV, s.TV, s.disp, s.anim);
	s.MV.flags = kFaces | kCullOn | kSkipHiddenMeshes;
	s.TV.channel = 7;
	s.disp.main = {-20, 30, 800, 600};
	s.disp.bgRed = 0.5f;
	s.disp.bgBlue = 128 / 255.0f;
	s.disp.autoExpand = 1;
	s.anim.defaultSpeed = -1;
	const std::string text = ConfigText(s.MV, s.TV, s.disp, s.anim);
	EXPECT_EQ(text.rfind("[windows]\nmain_window_pos_x=-20\nmain_window_pos_y=30\nmain_window_width=800\n", 0), 0u);
	EXPECT_NE(text.find("\n\n[model display]\nfaces=1\naxes=0\n"), std::string::npos);
	EXPECT_NE(text.find("back_culling=1\n\n[export]\nauto_export_textures=0\ndo_not_export_hidden_meshes=1\n"),
		std::string::npos);
	EXPECT_NE(text.find("channel=alpha\n"), std::string::npos);
	EXPECT_NE(text.find("background_red=127\nbackground_green=0\nbackground_blue=128\ndisplay_full_path=0\n"),
		std::string::npos);

	const Settings back = Read(text);
	EXPECT_EQ(back.MV.flags, s.MV.flags);
	EXPECT_EQ(back.disp.main.x, -20);
	EXPECT_FLOAT_EQ(back.disp.bgRed, 127 / 255.0f);
	EXPECT_EQ(back.TV.channel, 2);
	EXPECT_EQ(back.anim.defaultSpeed, -1);
	EXPECT_EQ(back.disp.autoExpand, 1);

	s.MV.flags = kCullAuto & ~std::uint32_t(kCullOn); // 0x80 alone is written as "auto"
	EXPECT_NE(ConfigText(s.MV, s.TV, s.disp, s.anim).find("back_culling=auto"), std::string::npos);

	// every slider value survives the trip
	for (int v = 0; v < 256; ++v) {
		s.disp.bgGreen = float(v / 255.0);
		EXPECT_EQ(ReadINI(ConfigText(s.MV, s.TV, s.disp, s.anim), "background_green"), v);
	}
}

TEST(Settings, FileWrittenThroughItsFolder)
{
	const std::filesystem::path folder = std::filesystem::temp_directory_path() / "zentarra-settings-test";
	std::filesystem::remove_all(folder);
	Settings s;
	SetDefaultConfig(s.MV, s.TV, s.disp, s.anim);
	s.disp.fullPath = 1;
	const std::filesystem::path path = folder / "zentarra" / "zentarra.ini";
	ASSERT_TRUE(WriteConfigFile(path, s.MV, s.TV, s.disp, s.anim));
	Settings back;
	ReadConfigFile(path, back.MV, back.TV, back.disp, back.anim);
	EXPECT_EQ(back.disp.fullPath, 1);
	std::filesystem::remove_all(folder);
}

TEST(Settings, HostileFilesReadQuickly)
{
	std::string binary;
	for (int i = 0; i < 4096; ++i)
		binary += char((i * 37) & 0xFF);
	std::string longLine(10 << 20, 'x');
	longLine += "=1"; // no line end anywhere
	const std::string repeated = "background_red=9999999999999\nbackground_red=5\ndefault_speed=-99999999999\n";
	for (const std::string& text : {binary, longLine, repeated, std::string("\n\n\n["), std::string("=")}) {
		const Settings s = Read(text);
		EXPECT_GE(s.disp.main.width, 150);
		EXPECT_GE(s.disp.main.height, 100);
		EXPECT_GE(s.disp.bgRed, 0.0f);
		EXPECT_LE(s.disp.bgRed, 1.0f);
	}
	EXPECT_FLOAT_EQ(Read(repeated).disp.bgRed, 1.0f);
	EXPECT_EQ(Read(repeated).anim.defaultSpeed, INT_MIN);
}

} // namespace
} // namespace zentarra
