// What the viewer needs before its window exists: its command line and an
// OpenGL context it can draw with.
#pragma once

#include "shell/main_window.h"

#include <QSurfaceFormat>

#include <filesystem>
#include <string>
#include <vector>

namespace zentarra::shell {

struct CommandLine {
	StartOptions start;
	std::filesystem::path settings; // empty: the user's settings file
	bool version = false;
	bool help = false;
	std::string error; // an option that does not parse
};

// zentarra [ARCHIVE] [--model NAME [--anim NAME]] [--settings FILE] [--version] [--help]
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);
std::string UsageText();

// Double-buffered RGBA with a depth buffer, in a compatibility profile:
// the drawing is fixed-function OpenGL.
QSurfaceFormat ViewFormat();

// Creates a context of that format and makes it current once: "" when it
// works, else the message to end with.
std::string ProbeOpenGL();

} // namespace zentarra::shell
