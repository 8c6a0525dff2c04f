#include "shell/startup.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>

namespace zentarra::shell {

CommandLine ParseCommandLine(const std::vector<std::string>& arguments)
{
	CommandLine line;
	bool archiveSeen = false;
	for (std::size_t i = 0; i < arguments.size(); ++i) {
		const std::string& argument = arguments[i];
		auto value = [&](std::string& into) {
			if (i + 1 >= arguments.size()) {
				line.error = argument + " needs a value";
				return;
			}
			into = arguments[++i];
		};
		if (argument == "--version") {
			line.version = true;
		} else if (argument == "--help" || argument == "-h") {
			line.help = true;
		} else if (argument == "--model") {
			value(line.start.model);
		} else if (argument == "--anim") {
			value(line.start.anim);
		} else if (argument == "--settings") {
			std::string path;
			value(path);
			line.settings = path;
		} else if (argument == "--quit-after-first-frame") {
			line.start.quitAfterFirstFrame = true;
		} else if (argument.size() > 1 && argument[0] == '-' && argument != "-") {
			line.error = "unknown option " + argument;
		} else if (archiveSeen) {
			line.error = "one archive at a time: open more with File > Open Files...";
		} else {
			line.start.archive = ArchivePathFromCommandLine(argument);
			archiveSeen = true;
		}
		if (!line.error.empty())
			break;
	}
	if (!line.start.model.empty() && line.start.archive.empty())
		line.error = "--model needs an archive";
	if (!line.start.anim.empty() && line.start.model.empty())
		line.error = "--anim needs --model";
	return line;
}

std::string UsageText()
{
	return "Usage: zentarra [ARCHIVE] [--model NAME [--anim NAME]] [--settings FILE]\n"
		   "  ARCHIVE          a BRRES archive to open\n"
		   "  --model NAME     show that model of the archive at start\n"
		   "  --anim NAME      and play that CHR0 or SHP0 of the archive on it\n"
		   "  --settings FILE  use this settings file instead of ~/.config/zentarra/zentarra.ini\n"
		   "  --version        print the version\n"
		   "  --help           print this text\n";
}

QSurfaceFormat ViewFormat()
{
	QSurfaceFormat format;
	format.setRenderableType(QSurfaceFormat::OpenGL);
	// a core profile draws nothing with the fixed-function pipeline
	format.setVersion(2, 1);
	format.setProfile(QSurfaceFormat::CompatibilityProfile);
	format.setRedBufferSize(8);
	format.setGreenBufferSize(8);
	format.setBlueBufferSize(8);
	format.setDepthBufferSize(24);
	format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
	format.setSwapInterval(1);
	return format;
}

std::string ProbeOpenGL()
{
	QOpenGLContext context;
	context.setFormat(ViewFormat());
	if (!context.create())
		return "Can't Create A GL Rendering Context.";
	const QSurfaceFormat got = context.format();
	if (got.profile() == QSurfaceFormat::CoreProfile)
		return "Can't Create A GL Rendering Context.";
	if (got.depthBufferSize() < 16 || got.redBufferSize() < 5)
		return "Can't Find A Suitable PixelFormat.";
	QOffscreenSurface surface;
	surface.setFormat(got);
	surface.create();
	if (!context.makeCurrent(&surface))
		return "Can't Activate The GL Rendering Context.";
	context.doneCurrent();
	return "";
}

} // namespace zentarra::shell
