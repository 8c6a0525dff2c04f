#include "render/offscreen.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>

namespace zentarra::render {

struct OffscreenContext::Egl {
	EGLDisplay display = EGL_NO_DISPLAY;
	EGLContext context = EGL_NO_CONTEXT;
	GLuint framebuffer = 0;
	GLuint renderbuffers[2] = {0, 0};
	PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
	PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;

	~Egl()
	{
		if (context != EGL_NO_CONTEXT) {
			if (framebuffer && deleteFramebuffers)
				deleteFramebuffers(1, &framebuffer);
			if (renderbuffers[0] && deleteRenderbuffers)
				deleteRenderbuffers(2, renderbuffers);
			eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
			eglDestroyContext(display, context);
		}
		if (display != EGL_NO_DISPLAY)
			eglTerminate(display);
		// frees this thread's EGL record, which Mesa otherwise keeps to exit
		eglReleaseThread();
	}
};

namespace {

template <typename F>
F Function(const char* name)
{
	return reinterpret_cast<F>(eglGetProcAddress(name));
}

bool HasExtension(const char* extensions, const char* name)
{
	if (!extensions)
		return false;
	const std::size_t length = std::strlen(name);
	for (const char* p = std::strstr(extensions, name); p; p = std::strstr(p + length, name))
		if ((p == extensions || p[-1] == ' ') && (p[length] == ' ' || p[length] == '\0'))
			return true;
	return false;
}

// A core-profile context draws nothing with the fixed-function pipeline.
bool HasFixedFunction()
{
	const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
	if (!version)
		return false;
	if (version[0] >= '3' && version[0] <= '9') {
		GLint mask = 0;
		glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
		if (mask & GL_CONTEXT_CORE_PROFILE_BIT)
			return false;
		if (version[0] == '3' && version[2] == '1')
			return HasExtension(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), "GL_ARB_compatibility");
	}
	return true;
}

} // namespace

std::unique_ptr<OffscreenContext> OffscreenContext::Create(int width, int height, std::string& error)
{
	std::unique_ptr<OffscreenContext> offscreen(new OffscreenContext);
	offscreen->egl_ = std::make_unique<Egl>();
	Egl& egl = *offscreen->egl_;
	offscreen->width_ = width;
	offscreen->height_ = height;
	if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
		error = "Error: the image size must be from 1 x 1 to 16384 x 16384 pixels";
		return nullptr;
	}

	auto getPlatformDisplay = Function<PFNEGLGETPLATFORMDISPLAYEXTPROC>("eglGetPlatformDisplayEXT");
	if (getPlatformDisplay)
		egl.display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
	EGLint major = 0, minor = 0;
	if (egl.display == EGL_NO_DISPLAY || !eglInitialize(egl.display, &major, &minor)) {
		egl.display = EGL_NO_DISPLAY;
		error = "Error: no OpenGL display without a window system (EGL with Mesa's surfaceless platform is needed)";
		return nullptr;
	}
	if (!HasExtension(eglQueryString(egl.display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context") ||
		!eglBindAPI(EGL_OPENGL_API)) {
		error = "Error: the EGL display offers no desktop OpenGL context without a surface";
		return nullptr;
	}
	const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
	EGLConfig config = nullptr;
	EGLint configs = 0;
	if (!eglChooseConfig(egl.display, configAttributes, &config, 1, &configs) || configs < 1) {
		error = "Error: the EGL display has no configuration for desktop OpenGL";
		return nullptr;
	}
	const EGLint contextAttributes[] = {
		EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
	egl.context = eglCreateContext(egl.display, config, EGL_NO_CONTEXT, contextAttributes);
	if (egl.context == EGL_NO_CONTEXT ||
		!eglMakeCurrent(egl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, egl.context)) {
		error = "Error: can't create an OpenGL compatibility-profile context";
		return nullptr;
	}
	if (!HasFixedFunction()) {
		error = "Error: the OpenGL context has no fixed-function pipeline (a compatibility profile is needed)";
		return nullptr;
	}

	auto genFramebuffers = Function<PFNGLGENFRAMEBUFFERSPROC>("glGenFramebuffers");
	auto bindFramebuffer = Function<PFNGLBINDFRAMEBUFFERPROC>("glBindFramebuffer");
	auto genRenderbuffers = Function<PFNGLGENRENDERBUFFERSPROC>("glGenRenderbuffers");
	auto bindRenderbuffer = Function<PFNGLBINDRENDERBUFFERPROC>("glBindRenderbuffer");
	auto renderbufferStorage = Function<PFNGLRENDERBUFFERSTORAGEPROC>("glRenderbufferStorage");
	auto attach = Function<PFNGLFRAMEBUFFERRENDERBUFFERPROC>("glFramebufferRenderbuffer");
	auto status = Function<PFNGLCHECKFRAMEBUFFERSTATUSPROC>("glCheckFramebufferStatus");
	egl.deleteFramebuffers = Function<PFNGLDELETEFRAMEBUFFERSPROC>("glDeleteFramebuffers");
	egl.deleteRenderbuffers = Function<PFNGLDELETERENDERBUFFERSPROC>("glDeleteRenderbuffers");
	if (!genFramebuffers || !bindFramebuffer || !genRenderbuffers || !bindRenderbuffer || !renderbufferStorage ||
		!attach || !status || !egl.deleteFramebuffers || !egl.deleteRenderbuffers) {
		error = "Error: the OpenGL context has no framebuffer objects";
		return nullptr;
	}
	genFramebuffers(1, &egl.framebuffer);
	bindFramebuffer(GL_FRAMEBUFFER, egl.framebuffer);
	genRenderbuffers(2, egl.renderbuffers);
	bindRenderbuffer(GL_RENDERBUFFER, egl.renderbuffers[0]);
	renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
	attach(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, egl.renderbuffers[0]);
	bindRenderbuffer(GL_RENDERBUFFER, egl.renderbuffers[1]);
	renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
	attach(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, egl.renderbuffers[1]);
	if (status(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
		error = "Error: can't create an offscreen framebuffer of that size";
		return nullptr;
	}
	glViewport(0, 0, width, height);
	TakeGLError();
	return offscreen;
}

OffscreenContext::~OffscreenContext() = default;

std::vector<std::uint8_t> OffscreenContext::ReadPixels() const
{
	const std::size_t row = std::size_t(width_) * 4;
	std::vector<std::uint8_t> bottomUp(row * std::size_t(height_));
	glPixelStorei(GL_PACK_ALIGNMENT, 1);
	glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
	std::vector<std::uint8_t> pixels(bottomUp.size());
	for (int y = 0; y < height_; ++y)
		std::memcpy(&pixels[std::size_t(y) * row], &bottomUp[std::size_t(height_ - 1 - y) * row], row);
	return pixels;
}

unsigned OffscreenContext::TakeGLError()
{
	const GLenum first = glGetError();
	// drain the rest so the next call sees new errors only
	for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
	}
	return first;
}

} // namespace zentarra::render
