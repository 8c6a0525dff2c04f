// The settings file: window layout and display, export, texture-view and
// animation options between runs, as lines of key=value under [section]
// titles. Keys are found by name alone, anywhere in the file: the first line
// that carries a key wins.
#pragma once

#include "model/model.h"
#include "view/view_state.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace zentarra {

// The user's settings file: $XDG_CONFIG_HOME/zentarra/zentarra.ini, or
// ~/.config/zentarra/zentarra.ini when that variable is unset or empty.
std::filesystem::path DefaultSettingsPath();

// The key's integer value (leading blanks skipped, 0 when it is no number),
// or 0 when the key is absent.
int ReadINI(std::string_view text, std::string_view key);

// The key's value word (up to the next blank or line end), or "" when absent.
std::string ReadINItext(std::string_view text, std::string_view key);

void WriteINI(std::string& out, std::string_view key, int value);
void WriteINItext(std::string& out, std::string_view key, std::string_view value);

// Fills the settings' fields from the file's text.
void ReadConfigText(std::string_view text, ModelView& MV, TextureView& TV, DisplaySettings& disp, AnimState& anim);

// Reads the file, or sets the defaults when it cannot be read.
void ReadConfigFile(const std::filesystem::path& path, ModelView& MV, TextureView& TV, DisplaySettings& disp,
	AnimState& anim);

// The defaults without a file.
void SetDefaultConfig(ModelView& MV, TextureView& TV, DisplaySettings& disp, AnimState& anim);

std::string ConfigText(const ModelView& MV, const TextureView& TV, const DisplaySettings& disp, const AnimState& anim);

// Writes the whole file through a temporary name, creating its folder; false
// when it cannot be written (nothing is said: the settings are just not kept).
bool WriteConfigFile(const std::filesystem::path& path, const ModelView& MV, const TextureView& TV,
	const DisplaySettings& disp, const AnimState& anim);

} // namespace zentarra
