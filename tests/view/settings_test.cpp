// The settings file: its reader's rules, damaged files among them, and the values written.
#include "../export/cli_run.h"
#include "view/settings_file.h"

#include <climits>

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

TEST(Settings, ReaderRules)
{
	Settings s;
	ReadConfigFile("/nonexistent/zentarra.ini", s.MV, s.TV, s.disp, s.anim); // no file: the defaults
	EXPECT_EQ((std::array{int(s.MV.flags), s.disp.main.width, s.disp.main.height, s.disp.files.x, s.disp.model.height,
		s.anim.defaultSpeed, s.TV.channel}), (std::array{0xFF, 650, 515, 4, 360, -3, 0}));
	// one line: every other key missing, so flags off and the smallest windows
	s = Read("faces=0\n");
	EXPECT_EQ((std::array{int(s.MV.flags), s.disp.main.width, s.disp.files.height, s.anim.defaultSpeed}),
		(std::array{0, 150, 100, 0}));

	const std::pair<const char*, int> values[] = {{"back_culling=auto\n", 0xC0}, {"back_culling=2\n", 0x40},
		{"channel=alpha extra\n", 2}, {"channel=colors\r\n", 1}, {"channel=other\n", 0}};
	for (const auto& [text, value] : values)
		EXPECT_EQ(text[0] == 'b' ? int(Read(text).MV.flags & 0xC0u) : Read(text).TV.channel, value) << text;

	EXPECT_EQ(Read("faces = 1\n").MV.flags & kFaces, 0u); // blanks around "=": another key
	EXPECT_EQ(ReadINI("[x]\nfaces=1\nfaces=0\n", "faces"), 1); // the first line wins
	EXPECT_EQ(ReadINI("[windows]\n\n\nmain_window_pos_x=  -17\n", "main_window_pos_x"), -17);
	EXPECT_EQ(Read("main_window_width=-5\nmain_window_height=100000\n").disp.main.width, 150);

	// hostile files: the windows stay usable, numbers out of range are clamped
	for (const std::string& text : {std::string("\n\n\n["), std::string("="), std::string(1 << 20, 'x') + "=1"}) {
		s = Read(text);
		EXPECT_GE(std::min(s.disp.main.width - 150, s.disp.main.height - 100), 0);
	}
	s = Read("background_red=9999999999999\nbackground_red=5\ndefault_speed=-99999999999\n");
	EXPECT_EQ(std::pair(s.disp.bgRed, s.anim.defaultSpeed), std::pair(1.0f, INT_MIN));
}

TEST(Settings, WrittenAndReadBack)
{
	Settings s;
	SetDefaultConfig(s.MV, s.TV, s.disp, s.anim);
	s.MV.flags = kFaces | kCullOn | kSkipHiddenMeshes;
	s.TV.channel = 7;
	s.disp.main = {-20, 30, 800, 600};
	s.disp.bgRed = 0.5f;
	s.disp.autoExpand = 1;
	s.disp.fullPath = 1;
	s.anim.defaultSpeed = -1;
	const std::string text = ConfigText(s.MV, s.TV, s.disp, s.anim);
	EXPECT_EQ(text.rfind("[windows]\nmain_window_pos_x=-20\nmain_window_pos_y=30\nmain_window_width=800\n", 0), 0u);
	for (const char* part : {"\n\n[model display]\nfaces=1\naxes=0\n", "channel=alpha\n",
			 "back_culling=1\n\n[export]\nauto_export_textures=0\ndo_not_export_hidden_meshes=1\n"})
		EXPECT_NE(text.find(part), std::string::npos) << part;

	// through a folder that does not exist yet
	testing::TempDir dir;
	const std::filesystem::path path = dir.path / "zentarra" / "zentarra.ini";
	ASSERT_TRUE(WriteConfigFile(path, s.MV, s.TV, s.disp, s.anim));
	Settings back;
	ReadConfigFile(path, back.MV, back.TV, back.disp, back.anim);
	EXPECT_EQ(back.MV.flags, s.MV.flags);
	EXPECT_EQ((std::array{back.disp.main.x, back.TV.channel, back.anim.defaultSpeed, back.disp.autoExpand,
		back.disp.fullPath}), (std::array{-20, 2, -1, 1, 1}));

	for (int v = 0; v < 256; ++v) { // every slider value survives the trip
		s.disp.bgGreen = float(v / 255.0);
		EXPECT_EQ(ReadINI(ConfigText(s.MV, s.TV, s.disp, s.anim), "background_green"), v);
	}
}

} // namespace
} // namespace zentarra
