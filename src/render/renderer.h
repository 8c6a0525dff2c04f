// Drawing the viewer's state with OpenGL 1.1 and GLU: the fixed render
// state, the projections, the model with its highlights, and the texture and
// palette views. The renderer owns the GL texture objects and uploads the
// state's images when their generation changes; it never reads files or
// decodes. It draws into whatever framebuffer is bound: the window's, or
// the offscreen one of render/offscreen.h.
#pragma once

#include "view/view_state.h"

#include <cstdint>
#include <vector>

namespace zentarra::render {

enum class DrawMode {
	Immediate,    // glBegin/glEnd, one call per attribute
	VertexArrays, // client arrays, where the picture stays the same
};

class Renderer {
public:
	Renderer() = default;
	Renderer(const Renderer&) = delete;
	Renderer& operator=(const Renderer&) = delete;
	// Releases the GL objects: the context must still be current.
	~Renderer();

	// The fixed state every frame relies on; once, with the context current.
	void InitGL();

	// Viewport and projection for a drawing area of width x height pixels:
	// perspective for the model view (far plane `far`), two units a pixel
	// with the origin at the centre for the texture views.
	void Resize(int width, int height, float far, int view);

	// One frame: clear to the background, then the model with its highlights
	// or the texture view. Resize first with the area's size.
	void Draw(const ViewerState& state);

	void DrawModel(const ViewerState& state);
	void HighlightMesh(const std::vector<Triangle>& triangles);
	void HighlightBone(const BRMDL& model, int node);
	void DrawTex(const ViewerState& state);

	void setDrawMode(DrawMode mode) { mode_ = mode; }
	DrawMode drawMode() const { return mode_; }

	// Frees the GL textures, with the context current (before it goes).
	void ReleaseGL();

private:
	void UploadTextures(const ViewerState& state);
	void DrawMeshImmediate(const std::vector<Triangle>& triangles, bool colors, bool lit);
	void DrawMeshArrays(const std::vector<Triangle>& triangles, bool colors, bool lit);

	DrawMode mode_ = DrawMode::VertexArrays;
	// model textures, one per material slot, and the views' images
	std::vector<unsigned> modelTextures_;
	unsigned modelGeneration_ = 0;
	bool modelUploaded_ = false;
	unsigned viewTextures_[2] = {0, 0};
	unsigned paletteTextures_[2] = {0, 0};
	unsigned texGeneration_ = 0;
	unsigned palGeneration_ = 0;
	bool texUploaded_ = false;
	bool palUploaded_ = false;
	// scratch arrays for DrawMeshArrays, kept between frames
	std::vector<float> positions_, normals_, texCoords_, colors_;
};

// SetColor and White: the colour of the next vertices, as a material when
// the mesh is lit (0x20), else as the current colour.
void SetColor(const Vertex& vertex, std::uint32_t lit);
void White(std::uint32_t lit);

} // namespace zentarra::render
