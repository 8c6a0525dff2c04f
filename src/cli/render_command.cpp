#include "cli/render_command.h"

#include "base/file_io.h"
#include "cli/archive_entries.h"
#include "export/obj.h"
#include "export/png.h"
#include "render/offscreen.h"
#include "render/renderer.h"
#include "view/input.h"
#include "view/viewer.h"

#include <algorithm>
#include <charconv>
#include <sstream>
#include <vector>

namespace zentarra::cli {

namespace {

// Messages of the viewer's loaders go to stderr, as the message boxes would show them.
class StreamFront : public ViewerFront {
public:
	explicit StreamFront(std::ostream& err) : err_(err) {}
	void ShowMessage(const MessageBox& message) override { err_ << message.text << '\n'; }
	std::vector<std::string> AskOpenFiles(const OpenFileRequest&) override { return {}; }
	std::optional<std::string> AskSaveFile(const SaveFileRequest&) override { return std::nullopt; }
	void SetTitle(int) override {}

private:
	std::ostream& err_;
};

// Numbers separated by `separator`: exactly `count` of them, or nothing.
template <typename T>
std::optional<std::vector<T>> ParseList(const std::string& text, char separator, std::size_t count)
{
	std::vector<T> values;
	const char* p = text.data();
	const char* end = text.data() + text.size();
	while (values.size() < count) {
		T value{};
		const auto [next, error] = std::from_chars(p, end, value);
		if (error != std::errc())
			return std::nullopt;
		values.push_back(value);
		p = next;
		if (values.size() < count) {
			if (p == end || *p != separator)
				return std::nullopt;
			++p;
		}
	}
	if (p != end)
		return std::nullopt;
	return values;
}

int Usage(std::string_view message, std::ostream& err)
{
	err << message << '\n';
	return 2;
}

std::optional<std::vector<int>> ParseSize(const std::string& text)
{
	std::optional<std::vector<int>> size = ParseList<int>(text, 'x', 2);
	if (!size || (*size)[0] < 1 || (*size)[1] < 1 || (*size)[0] > 16384 || (*size)[1] > 16384)
		return std::nullopt;
	return size;
}
constexpr std::string_view kSizeUsage = "--size: WIDTHxHEIGHT, each from 1 to 16384";

// False when the text is not "R,G,B" with each from 0 to 255; an empty text leaves the colour.
bool SetBackground(const std::string& text, DisplaySettings& disp)
{
	if (text.empty())
		return true;
	const std::optional<std::vector<int>> rgb = ParseList<int>(text, ',', 3);
	if (!rgb || std::any_of(rgb->begin(), rgb->end(), [](int v) { return v < 0 || v > 255; }))
		return false;
	disp.bgRed = float((*rgb)[0]) / 255.0f;
	disp.bgGreen = float((*rgb)[1]) / 255.0f;
	disp.bgBlue = float((*rgb)[2]) / 255.0f;
	return true;
}
constexpr std::string_view kBackgroundUsage = "--background: R,G,B, each from 0 to 255";

// One frame of the state into the context, written as a PNG file.
int DrawAndWrite(const ViewerState& state, const render::OffscreenContext& context, const std::string& output,
	std::ostream& err)
{
	render::Renderer renderer;
	renderer.InitGL();
	renderer.Resize(context.width(), context.height(), state.MV.radius * 50.0f, state.disp.view);
	renderer.Draw(state);
	const std::vector<std::uint8_t> pixels = context.ReadPixels();
	renderer.ReleaseGL();
	std::vector<std::uint8_t> png;
	if (!WritePNG(png, context.width(), context.height(), pixels) || !WriteFileAtomically(output, png)) {
		err << kCantWriteFile << '\n';
		return 1;
	}
	return 0;
}

} // namespace

int RunRender(const RenderOptions& options, std::ostream& err)
{
	const auto size = ParseSize(options.size);
	if (!size)
		return Usage(kSizeUsage, err);
	std::optional<std::vector<float>> rotate;
	if (!options.rotate.empty() && !(rotate = ParseList<float>(options.rotate, ',', 2)))
		return Usage("--rotate: Z,Y in degrees", err);
	DisplaySettings colours;
	if (!SetBackground(options.background, colours))
		return Usage(kBackgroundUsage, err);

	std::string error;
	std::unique_ptr<render::OffscreenContext> context = render::OffscreenContext::Create((*size)[0], (*size)[1], error);
	if (!context) {
		err << error << '\n';
		return 1;
	}

	StreamFront front(err);
	Viewer viewer(front);
	viewer.OpenCommandLine(options.archive);
	const std::vector<Entry> entries = ModelEntries(viewer.items());
	if (viewer.items().items().empty())
		return 1; // the viewer said why
	const FoundEntry found = FindModelEntry(entries, options.model);
	if (!found.entry) {
		err << found.error << '\n';
		return 1;
	}
	viewer.LoadModel(found.entry->item.id);
	ViewerState& state = viewer.editState();
	if (state.model.MD.nMesh == 0)
		return 1;
	if (!options.anim.empty()) {
		OpenedArchive archive = OpenArchive(options.archive);
		if (const std::string failed = PoseAtFrame(state.model, archive, options.anim, options.frame, err);
			!failed.empty()) {
			err << failed << '\n';
			return 1;
		}
	}

	std::uint32_t& flags = state.MV.flags;
	if (options.wireframe)
		flags &= ~std::uint32_t(kFaces);
	if (options.noAxes)
		flags &= ~std::uint32_t(kAxes);
	if (options.noLighting)
		flags &= ~std::uint32_t(kLighting);
	if (options.noColors)
		flags &= ~std::uint32_t(kColors);
	if (options.noTextures)
		flags &= ~std::uint32_t(kTextures);
	if (options.noCulling)
		flags &= ~std::uint32_t(kCullMask);
	if (options.center)
		CenterModel(state.MV, state.model.MD);
	if (rotate) {
		state.MV.rotZ = (*rotate)[0];
		state.MV.rotY = (*rotate)[1];
	}
	SetBackground(options.background, state.disp);
	return DrawAndWrite(state, *context, options.output, err);
}

int RunRenderTexture(const RenderTextureOptions& options, std::ostream& err)
{
	std::optional<std::vector<int>> size;
	if (!options.size.empty() && !(size = ParseSize(options.size)))
		return Usage(kSizeUsage, err);
	std::optional<std::vector<int>> pan;
	if (!options.pan.empty() && !(pan = ParseList<int>(options.pan, ',', 2)))
		return Usage("--pan: X,Y in the view's units, two per pixel", err);
	if (!(options.zoom >= 0.01f && options.zoom <= 64.0f))
		return Usage("--zoom: from 0.01 to 64", err);
	const int channel = options.channel == "colors" ? 1 : options.channel == "alpha" ? 2 : 0;

	StreamFront front(err);
	Viewer viewer(front);
	viewer.OpenCommandLine(options.archive);
	if (viewer.items().items().empty())
		return 1; // the viewer said why
	ViewerState& state = viewer.editState();
	const auto show = [&](const std::string& name, ItemKind kind) {
		const int item = viewer.FindEntry(name, kind);
		if (item < 0) {
			err << "no " << (kind == ItemKind::PLT0 ? "palette" : "texture") << " named \"" << name << "\"\n";
			return false;
		}
		viewer.ActivateFileItem(item); // as a double-click does
		return kind == ItemKind::PLT0 ? state.TD.palLoaded != 0 : state.TD.loaded != 0;
	};
	if (!options.palette.empty() && !show(options.palette, ItemKind::PLT0))
		return 1;
	if (!show(options.texture, options.paletteView ? ItemKind::PLT0 : ItemKind::TEX0))
		return 1;

	state.TV.channel = channel;
	state.TV.zoom = options.zoom;
	if (pan) {
		state.TV.panX = (*pan)[0];
		state.TV.panY = (*pan)[1];
	}
	if (!SetBackground(options.background, state.disp))
		return Usage(kBackgroundUsage, err);
	const int width = size ? (*size)[0] : options.paletteView ? 64 : state.TD.potWidth;
	const int height = size ? (*size)[1] : options.paletteView ? 64 : state.TD.potHeight;
	std::string error;
	std::unique_ptr<render::OffscreenContext> context = render::OffscreenContext::Create(width, height, error);
	if (!context) {
		err << error << '\n';
		return 1;
	}
	return DrawAndWrite(state, *context, options.output, err);
}

} // namespace zentarra::cli
