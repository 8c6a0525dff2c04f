// An OpenGL context with no window system: EGL on Mesa's surfaceless
// platform, drawing into a framebuffer object whose pixels can be read back.
// The tests and the command line's render command draw through it exactly
// as the viewer's window does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zentarra::render {

class OffscreenContext {
public:
	// A current context with a width x height RGBA framebuffer and a depth
	// buffer, or null with `error` saying why (no EGL display, no context
	// with the fixed-function pipeline, no framebuffer objects).
	static std::unique_ptr<OffscreenContext> Create(int width, int height, std::string& error);

	~OffscreenContext();
	OffscreenContext(const OffscreenContext&) = delete;
	OffscreenContext& operator=(const OffscreenContext&) = delete;

	int width() const { return width_; }
	int height() const { return height_; }

	// The framebuffer as RGBA bytes, top row first.
	std::vector<std::uint8_t> ReadPixels() const;

	// The first GL error since the last call, 0 for none.
	static unsigned TakeGLError();

private:
	OffscreenContext() = default;
	struct Egl;
	std::unique_ptr<Egl> egl_;
	int width_ = 0;
	int height_ = 0;
};

} // namespace zentarra::render
