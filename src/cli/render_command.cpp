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

} // namespace

int RunRender(const RenderOptions& options, std::ostream& err)
{
	const auto size = ParseList<int>(options.size, 'x', 2);
	if (!size || (*size)[0] < 1 || (*size)[1] < 1 || (*size)[0] > 16384 || (*size)[1] > 16384)
		return Usage("--size: WIDTHxHEIGHT, each from 1 to 16384", err);
	std::optional<std::vector<float>> rotate;
	if (!options.rotate.empty() && !(rotate = ParseList<float>(options.rotate, ',', 2)))
		return Usage("--rotate: Z,Y in degrees", err);
	std::optional<std::vector<int>> background;
	if (!options.background.empty()) {
		background = ParseList<int>(options.background, ',', 3);
		if (!background || std::any_of(background->begin(), background->end(), [](int v) { return v < 0 || v > 255; }))
			return Usage("--background: R,G,B, each from 0 to 255", err);
	}

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
	if (background) {
		state.disp.bgRed = float((*background)[0]) / 255.0f;
		state.disp.bgGreen = float((*background)[1]) / 255.0f;
		state.disp.bgBlue = float((*background)[2]) / 255.0f;
	}

	render::Renderer renderer;
	renderer.InitGL();
	renderer.Resize(context->width(), context->height(), state.MV.radius * 50.0f, state.disp.view);
	renderer.Draw(state);
	const std::vector<std::uint8_t> pixels = context->ReadPixels();
	renderer.ReleaseGL();
	std::vector<std::uint8_t> png;
	if (!WritePNG(png, context->width(), context->height(), pixels) || !WriteFileAtomically(options.output, png)) {
		err << kCantWriteFile << '\n';
		return 1;
	}
	return 0;
}

} // namespace zentarra::cli
