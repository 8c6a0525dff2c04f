#include "view/settings_file.h"

#include "base/file_io.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <span>
#include <system_error>

namespace zentarra {

namespace {

constexpr int kEnd = -1;
constexpr std::size_t kLongestWord = 255;

// A read position in the file's text, read one character at a time as a
// stream would be.
struct TextStream {
	std::string_view text;
	std::size_t pos = 0;

	int get() { return pos < text.size() ? static_cast<unsigned char>(text[pos++]) : kEnd; }
	int peek() const { return pos < text.size() ? static_cast<unsigned char>(text[pos]) : kEnd; }
	// Moves past the next line feed, or to the end.
	int skipLine(int c)
	{
		if (c == '\n' || c == kEnd)
			return c;
		const std::size_t end = text.find('\n', pos);
		pos = end == std::string_view::npos ? text.size() : end + 1;
		return end == std::string_view::npos ? kEnd : '\n';
	}
	void skipBlanks()
	{
		while (peek() != kEnd && std::isspace(peek()))
			++pos;
	}
};

// Moves the stream just behind the "=" of the first line whose key is `key`;
// false when no line carries it. Section lines and empty lines are skipped.
bool FindKey(TextStream& in, std::string_view key)
{
	while (in.pos < in.text.size()) {
		int c = in.get();
		if (c == '[')
			c = in.skipLine(c);
		while (c == '\n')
			c = in.get();
		std::string name;
		while (c != '=' && c != '\n' && c != kEnd && name.size() < kLongestWord) {
			name += char(c);
			c = in.get();
		}
		if (name == key)
			return true;
		in.skipLine(c);
	}
	return false;
}

int ReadWindowSize(std::string_view text, std::string_view key, int smallest)
{
	return std::max(ReadINI(text, key), smallest);
}

void ReadRect(std::string_view text, std::string_view prefix, WindowRect& rect)
{
	const std::string p(prefix);
	rect.x = ReadINI(text, p + "_pos_x");
	rect.y = ReadINI(text, p + "_pos_y");
	rect.width = ReadWindowSize(text, p + "_width", 150);
	rect.height = ReadWindowSize(text, p + "_height", 100);
}

void WriteRect(std::string& out, std::string_view prefix, const WindowRect& rect)
{
	const std::string p(prefix);
	WriteINI(out, p + "_pos_x", rect.x);
	WriteINI(out, p + "_pos_y", rect.y);
	WriteINI(out, p + "_width", rect.width);
	WriteINI(out, p + "_height", rect.height);
}

// The flag keys of the model display, in file order.
struct FlagKey {
	const char* key;
	std::uint32_t bit;
};
constexpr FlagKey kDisplayFlags[] = {
	{"faces", kFaces},
	{"axes", kAxes},
	{"textures", kTextures},
	{"colors", kColors},
	{"lighting", kLighting},
	{"fixed_light_source", kFixedLight},
	{"alpha_testing", kAlphaTest},
};
constexpr FlagKey kExportFlags[] = {
	{"auto_export_textures", kAutoExportTextures},
	{"do_not_export_hidden_meshes", kSkipHiddenMeshes},
};

float ReadColor(std::string_view text, std::string_view key)
{
	// out-of-range values would leave the dialog's sliders and texts beyond their scale
	return float(std::clamp(ReadINI(text, key), 0, 255) / 255.0);
}

int ColorValue(float component)
{
	return static_cast<int>(double(component) * 255.0);
}

} // namespace

std::filesystem::path DefaultSettingsPath()
{
	const char* config = std::getenv("XDG_CONFIG_HOME");
	std::filesystem::path folder;
	if (config && *config)
		folder = config;
	else if (const char* home = std::getenv("HOME"); home && *home)
		folder = std::filesystem::path(home) / ".config";
	else
		folder = ".config";
	return folder / "zentarra" / "zentarra.ini";
}

int ReadINI(std::string_view text, std::string_view key)
{
	TextStream in{text};
	if (!FindKey(in, key))
		return 0;
	in.skipBlanks();
	bool negative = false;
	if (in.peek() == '-' || in.peek() == '+')
		negative = in.get() == '-';
	long long value = 0;
	while (in.peek() != kEnd && std::isdigit(in.peek())) {
		value = std::min<long long>(value * 10 + (in.get() - '0'), 1LL + INT_MAX);
	}
	value = negative ? -value : value;
	return int(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::string ReadINItext(std::string_view text, std::string_view key)
{
	TextStream in{text};
	if (!FindKey(in, key))
		return {};
	in.skipBlanks();
	std::string word;
	while (in.peek() != kEnd && !std::isspace(in.peek()) && word.size() < kLongestWord)
		word += char(in.get());
	return word;
}

void WriteINI(std::string& out, std::string_view key, int value)
{
	out.append(key).append("=").append(std::to_string(value)).append("\n");
}

void WriteINItext(std::string& out, std::string_view key, std::string_view value)
{
	out.append(key).append("=").append(value).append("\n");
}

void SetDefaultConfig(ModelView& MV, TextureView& TV, DisplaySettings& disp, AnimState& anim)
{
	disp.main = {0, 0, 650, 515};
	disp.files = {4, 50, 160, 360};
	disp.model = {4, 50, 160, 360};
	MV.flags = kDefaultModelFlags;
	TV.channel = 0;
	anim.rotOnly = 0;
	anim.defaultSpeed = -3;
	disp.autoExpand = 0;
	disp.bgRed = disp.bgGreen = disp.bgBlue = 0.0f;
	disp.fullPath = 0;
}

void ReadConfigText(std::string_view text, ModelView& MV, TextureView& TV, DisplaySettings& disp, AnimState& anim)
{
	ReadRect(text, "main_window", disp.main);
	ReadRect(text, "files_window", disp.files);
	ReadRect(text, "model_window", disp.model);

	MV.flags = 0;
	for (const FlagKey& flag : kDisplayFlags)
		if (ReadINI(text, flag.key) != 0)
			MV.flags |= flag.bit;
	if (ReadINItext(text, "back_culling") == "auto")
		MV.flags |= kCullAuto;
	else if (ReadINI(text, "back_culling") != 0)
		MV.flags |= kCullOn;
	for (const FlagKey& flag : kExportFlags)
		if (ReadINI(text, flag.key) != 0)
			MV.flags |= flag.bit;

	const std::string channel = ReadINItext(text, "channel");
	TV.channel = channel == "colors" ? 1 : channel == "alpha" ? 2 : 0;

	anim.rotOnly = ReadINI(text, "play_rotations_only");
	anim.defaultSpeed = ReadINI(text, "default_speed");
	disp.autoExpand = ReadINI(text, "auto_expand");
	disp.bgRed = ReadColor(text, "background_red");
	disp.bgGreen = ReadColor(text, "background_green");
	disp.bgBlue = ReadColor(text, "background_blue");
	disp.fullPath = ReadINI(text, "display_full_path");
}

void ReadConfigFile(const std::filesystem::path& path, ModelView& MV, TextureView& TV, DisplaySettings& disp,
	AnimState& anim)
{
	const FileBytes file = ReadWholeFile(path);
	if (file.status != ReadStatus::Ok) {
		SetDefaultConfig(MV, TV, disp, anim);
		return;
	}
	const std::string_view text(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
	ReadConfigText(text, MV, TV, disp, anim);
}

std::string ConfigText(const ModelView& MV, const TextureView& TV, const DisplaySettings& disp, const AnimState& anim)
{
	std::string out = "[windows]\n";
	WriteRect(out, "main_window", disp.main);
	WriteRect(out, "files_window", disp.files);
	WriteRect(out, "model_window", disp.model);

	out += "\n[model display]\n";
	for (const FlagKey& flag : kDisplayFlags)
		WriteINI(out, flag.key, (MV.flags & flag.bit) ? 1 : 0);
	const std::uint32_t culling = MV.flags & kCullMask;
	WriteINItext(out, "back_culling", culling == kCullOn ? "1" : culling != 0 ? "auto" : "0");

	out += "\n[export]\n";
	for (const FlagKey& flag : kExportFlags)
		WriteINI(out, flag.key, (MV.flags & flag.bit) ? 1 : 0);

	out += "\n[texture display]\n";
	WriteINItext(out, "channel", TV.channel == 0 ? "normal" : TV.channel == 1 ? "colors" : "alpha");

	out += "\n[animation]\n";
	WriteINI(out, "play_rotations_only", anim.rotOnly);
	WriteINI(out, "default_speed", anim.defaultSpeed);

	out += "\n[other]\n";
	WriteINI(out, "auto_expand", disp.autoExpand);
	WriteINI(out, "background_red", ColorValue(disp.bgRed));
	WriteINI(out, "background_green", ColorValue(disp.bgGreen));
	WriteINI(out, "background_blue", ColorValue(disp.bgBlue));
	WriteINI(out, "display_full_path", disp.fullPath);
	return out;
}

bool WriteConfigFile(const std::filesystem::path& path, const ModelView& MV, const TextureView& TV,
	const DisplaySettings& disp, const AnimState& anim)
{
	std::error_code error;
	if (path.has_parent_path())
		std::filesystem::create_directories(path.parent_path(), error);
	const std::string text = ConfigText(MV, TV, disp, anim);
	return WriteFileAtomically(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

} // namespace zentarra
