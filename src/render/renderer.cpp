#include "render/renderer.h"

#include "anim/math3d.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>

namespace zentarra::render {

namespace {

constexpr std::uint32_t kLit = 0x20;

// A model point (x, y, z) goes to GL as (z, x, y): the camera sits on +X
// with Z up, so the model's Y points up on screen.
void Normal(const float* n)
{
	glNormal3f(n[2], n[0], n[1]);
}
void Position(const float* p)
{
	glVertex3f(p[2], p[0], p[1]);
}

void LineLoop(const Triangle& triangle)
{
	glBegin(GL_LINE_LOOP);
	for (const Vertex& corner : triangle.v)
		Position(corner.posedPos);
	glEnd();
}

void StartHighlight(float r, float g, float b)
{
	glDisable(GL_TEXTURE_2D);
	glDisable(GL_LIGHTING);
	glDisable(GL_DEPTH_TEST);
	glColor3f(r, g, b);
}

void SetLightPosition()
{
	const GLfloat position[4] = {1.0f, 0.0f, 0.0f, 0.0f};
	glLightfv(GL_LIGHT0, GL_POSITION, position);
}

void TurnLight(const ModelView& MV)
{
	glPushMatrix();
	glRotatef(MV.lightRotY, 0.0f, 1.0f, 0.0f);
	glRotatef(MV.lightRotZ, 0.0f, 0.0f, 1.0f);
	SetLightPosition();
	glPopMatrix();
}

void DrawAxes(float length)
{
	glDisable(GL_LIGHTING);
	glDisable(GL_TEXTURE_2D);
	glBegin(GL_LINES);
	glColor3f(1.0f, 0.0f, 0.0f);
	glVertex3f(0.0f, 0.0f, 0.0f);
	glVertex3f(length, 0.0f, 0.0f);
	glColor3f(0.0f, 1.0f, 0.0f);
	glVertex3f(0.0f, 0.0f, 0.0f);
	glVertex3f(0.0f, length, 0.0f);
	glColor3f(0.0f, 0.0f, 1.0f);
	glVertex3f(0.0f, 0.0f, 0.0f);
	glVertex3f(0.0f, 0.0f, length);
	glEnd();
}

// Every corner of the mesh has the same colour: one material then serves
// the whole batch, which vertex arrays can draw.
bool UniformColor(const std::vector<Triangle>& triangles)
{
	const float* first = triangles.front().v[0].color;
	for (const Triangle& triangle : triangles)
		for (const Vertex& corner : triangle.v)
			if (!std::equal(first, first + 4, corner.color))
				return false;
	return true;
}

void Upload(unsigned name, const RgbaImage& image, GLint magnification)
{
	glBindTexture(GL_TEXTURE_2D, name);
	glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
	glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magnification);
	glTexImage2D(GL_TEXTURE_2D, 0, 4, image.width, image.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
}

void UploadPair(unsigned (&names)[2], const RgbaImage (&images)[2], bool& uploaded)
{
	if (!uploaded)
		glGenTextures(2, names);
	uploaded = true;
	for (int i = 0; i < 2; ++i)
		Upload(names[i], images[i], GL_NEAREST);
}

void DrawQuad(float halfWidth, float halfHeight)
{
	// the image's first row at the top
	glBegin(GL_QUADS);
	glTexCoord2f(0.0f, 1.0f);
	glVertex2f(-halfWidth, -halfHeight);
	glTexCoord2f(1.0f, 1.0f);
	glVertex2f(halfWidth, -halfHeight);
	glTexCoord2f(1.0f, 0.0f);
	glVertex2f(halfWidth, halfHeight);
	glTexCoord2f(0.0f, 0.0f);
	glVertex2f(-halfWidth, halfHeight);
	glEnd();
}

} // namespace

void SetColor(const Vertex& vertex, std::uint32_t lit)
{
	const float* c = vertex.color;
	if (lit == kLit) {
		const GLfloat emission[4] = {c[0] / 4.0f, c[1] / 4.0f, c[2] / 4.0f, c[3]};
		glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
		glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, c);
		glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, c);
		glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 128.0f);
	} else {
		glColor4f(c[0], c[1], c[2], c[3]);
	}
}

void White(std::uint32_t lit)
{
	if (lit == kLit) {
		const GLfloat emission[4] = {0.25f, 0.25f, 0.25f, 1.0f};
		const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
		glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
		glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
		glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, white);
		glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 128.0f);
	} else {
		glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
	}
}

Renderer::~Renderer() = default;

void Renderer::ReleaseGL()
{
	if (!modelTextures_.empty())
		glDeleteTextures(GLsizei(modelTextures_.size()), modelTextures_.data());
	modelTextures_.clear();
	modelUploaded_ = false;
	if (texUploaded_)
		glDeleteTextures(2, viewTextures_);
	if (palUploaded_)
		glDeleteTextures(2, paletteTextures_);
	texUploaded_ = palUploaded_ = false;
}

void Renderer::InitGL()
{
	glShadeModel(GL_SMOOTH);
	glClearDepth(1.0);
	glEnable(GL_DEPTH_TEST);
	glDepthFunc(GL_LEQUAL);
	glCullFace(GL_BACK);
	glAlphaFunc(GL_GREATER, 0.5f);
	glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
	const GLfloat ambient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
	const GLfloat diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
	const GLfloat specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
	glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
	glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
	glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
	glEnable(GL_LIGHT0);
}

void Renderer::Resize(int width, int height, float far, int view)
{
	if (height == 0)
		height = 1;
	glViewport(0, 0, width, height);
	glMatrixMode(GL_PROJECTION);
	glLoadIdentity();
	if (view != kModelView)
		gluOrtho2D(-double(width), double(width), -double(height), double(height));
	else
		gluPerspective(45.0, double(width) / double(height), double(far) / 5000.0, double(far));
	glMatrixMode(GL_MODELVIEW);
	glLoadIdentity();
}

void Renderer::Draw(const ViewerState& state)
{
	UploadTextures(state);
	glClearColor(state.disp.bgRed, state.disp.bgGreen, state.disp.bgBlue, 1.0f);
	glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
	if (state.disp.view != kModelView) {
		DrawTex(state);
		return;
	}
	const BRMDL& MD = state.model.MD;
	glPushMatrix();
	DrawModel(state);
	if (state.smesh >= 0 && std::size_t(state.smesh) < MD.meshTris.size())
		HighlightMesh(MD.meshTris[std::size_t(state.smesh)]);
	const std::vector<int>& bonemap = state.model.bonemap;
	if (state.sbone >= 0 && std::size_t(state.sbone) < bonemap.size())
		HighlightBone(MD, bonemap[std::size_t(state.sbone)]);
	glPopMatrix();
}

void Renderer::DrawModel(const ViewerState& state)
{
	const ModelView& MV = state.MV;
	const BRMDL& MD = state.model.MD;
	const ModelTextures& tx = state.tx;
	const std::uint32_t flags = MV.flags;

	SetLightPosition();
	glEnable(GL_DEPTH_TEST);
	glDisable(GL_BLEND);
	gluLookAt(double(MV.distance), 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0);
	if (!(flags & kFixedLight))
		TurnLight(MV);
	glRotatef(MV.rotY, 0.0f, 1.0f, 0.0f);
	glRotatef(MV.rotZ, 0.0f, 0.0f, 1.0f);
	if (flags & kAxes)
		DrawAxes(2.0f * MV.radius);
	glTranslatef(MV.offZ, MV.offX, MV.offY);
	if (flags & kFixedLight)
		TurnLight(MV);

	for (int m = 0; m < MD.nMesh && std::size_t(m) < MD.meshTris.size(); ++m) {
		const std::size_t mesh = std::size_t(m);
		if (mesh < MD.meshVisible.size() && MD.meshVisible[mesh] == 0)
			continue;
		const std::vector<Triangle>& triangles = MD.meshTris[mesh];

		const int slot = tx.loaded && mesh < tx.meshTex.size() ? tx.meshTex[mesh] : -1;
		if ((flags & kTextures) && slot >= 0 && std::size_t(slot) < modelTextures_.size() &&
			std::size_t(slot) < tx.images.size() && !tx.images[std::size_t(slot)].rgba.empty()) {
			glEnable(GL_TEXTURE_2D);
			glBindTexture(GL_TEXTURE_2D, modelTextures_[std::size_t(slot)]);
			if (flags & kAlphaTest)
				glEnable(GL_ALPHA_TEST);
			else
				glDisable(GL_ALPHA_TEST);
		} else {
			glDisable(GL_TEXTURE_2D);
			glDisable(GL_ALPHA_TEST);
		}

		bool lit = false;
		if (MV.soloMesh != -1 && MV.soloMesh != m) {
			glPolygonMode(GL_FRONT_AND_BACK, GL_POINT);
		} else if (flags & kFaces) {
			glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
			lit = (flags & kLighting) && !triangles.empty() && NormSet(triangles.front().v[0]);
		} else {
			glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
		}

		const std::uint32_t culling = flags & kCullMask;
		const int cull = mesh < MD.meshCull.size() ? MD.meshCull[mesh] : 0;
		if ((culling == kCullAuto && cull == 2) || culling == kCullOn)
			glEnable(GL_CULL_FACE);
		else
			glDisable(GL_CULL_FACE);

		if (lit)
			glEnable(GL_LIGHTING);
		else
			glDisable(GL_LIGHTING);

		if (triangles.empty())
			continue;
		const bool colors = (flags & kColors) != 0;
		// a lit mesh whose corners differ in colour changes the material per
		// vertex, which only immediate mode can do
		if (mode_ == DrawMode::VertexArrays && (!colors || !lit || UniformColor(triangles)))
			DrawMeshArrays(triangles, colors, lit);
		else
			DrawMeshImmediate(triangles, colors, lit);
	}
}

void Renderer::DrawMeshImmediate(const std::vector<Triangle>& triangles, bool colors, bool lit)
{
	const std::uint32_t litBit = lit ? kLit : 0;
	if (!colors)
		White(litBit);
	glBegin(GL_TRIANGLES);
	for (const Triangle& triangle : triangles)
		for (const Vertex& corner : triangle.v) {
			if (colors)
				SetColor(corner, litBit);
			glTexCoord2f(corner.uv[0], corner.uv[1]);
			Normal(corner.posedNrm);
			Position(corner.posedPos);
		}
	glEnd();
}

void Renderer::DrawMeshArrays(const std::vector<Triangle>& triangles, bool colors, bool lit)
{
	const std::uint32_t litBit = lit ? kLit : 0;
	const std::size_t corners = triangles.size() * 3;
	positions_.resize(corners * 3);
	normals_.resize(corners * 3);
	texCoords_.resize(corners * 2);
	const bool colorArray = colors && !lit;
	if (colorArray)
		colors_.resize(corners * 4);
	std::size_t k = 0;
	for (const Triangle& triangle : triangles)
		for (const Vertex& corner : triangle.v) {
			float* p = &positions_[k * 3];
			p[0] = corner.posedPos[2];
			p[1] = corner.posedPos[0];
			p[2] = corner.posedPos[1];
			float* n = &normals_[k * 3];
			n[0] = corner.posedNrm[2];
			n[1] = corner.posedNrm[0];
			n[2] = corner.posedNrm[1];
			texCoords_[k * 2] = corner.uv[0];
			texCoords_[k * 2 + 1] = corner.uv[1];
			if (colorArray)
				std::copy(corner.color, corner.color + 4, &colors_[k * 4]);
			++k;
		}

	if (!colors)
		White(litBit);
	else if (lit)
		SetColor(triangles.front().v[0], litBit);
	glEnableClientState(GL_VERTEX_ARRAY);
	glEnableClientState(GL_NORMAL_ARRAY);
	glEnableClientState(GL_TEXTURE_COORD_ARRAY);
	glVertexPointer(3, GL_FLOAT, 0, positions_.data());
	glNormalPointer(GL_FLOAT, 0, normals_.data());
	glTexCoordPointer(2, GL_FLOAT, 0, texCoords_.data());
	if (colorArray) {
		glEnableClientState(GL_COLOR_ARRAY);
		glColorPointer(4, GL_FLOAT, 0, colors_.data());
	}
	glDrawArrays(GL_TRIANGLES, 0, GLsizei(corners));
	if (colorArray) {
		glDisableClientState(GL_COLOR_ARRAY);
		// as immediate mode leaves it: the last corner's colour is current
		const float* last = triangles.back().v[2].color;
		glColor4f(last[0], last[1], last[2], last[3]);
	}
	glDisableClientState(GL_TEXTURE_COORD_ARRAY);
	glDisableClientState(GL_NORMAL_ARRAY);
	glDisableClientState(GL_VERTEX_ARRAY);
}

void Renderer::HighlightMesh(const std::vector<Triangle>& triangles)
{
	StartHighlight(0.0f, 0.0f, 1.0f);
	for (const Triangle& triangle : triangles)
		LineLoop(triangle);
}

void Renderer::HighlightBone(const BRMDL& model, int node)
{
	StartHighlight(1.0f, 0.0f, 0.0f);
	for (const std::vector<Triangle>& mesh : model.meshTris)
		for (const Triangle& triangle : mesh)
			if (triangle.v[0].node == node || triangle.v[1].node == node || triangle.v[2].node == node)
				LineLoop(triangle);
}

void Renderer::DrawTex(const ViewerState& state)
{
	const TextureDisplay& TD = state.TD;
	const TextureView& TV = state.TV;
	glPushMatrix();
	glEnable(GL_TEXTURE_2D);
	glDisable(GL_LIGHTING);
	glDisable(GL_ALPHA_TEST);
	glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
	glColor3f(1.0f, 1.0f, 1.0f);
	if (TV.channel == 0)
		glEnable(GL_BLEND);
	else
		glDisable(GL_BLEND);
	glTranslatef(float(TV.panX), float(TV.panY), 0.0f);
	glScalef(TV.zoom, TV.zoom, 1.0f);
	const int image = TV.channel == 2 ? 1 : 0;
	if (state.disp.view == kTextureView && TD.loaded && texUploaded_) {
		glBindTexture(GL_TEXTURE_2D, viewTextures_[image]);
		DrawQuad(float(TD.potWidth), float(TD.potHeight));
	} else if (state.disp.view == kPaletteView && TD.palLoaded && palUploaded_) {
		glBindTexture(GL_TEXTURE_2D, paletteTextures_[image]);
		DrawQuad(64.0f, 64.0f);
	}
	glPopMatrix();
}

void Renderer::UploadTextures(const ViewerState& state)
{
	const ModelTextures& tx = state.tx;
	if (!modelUploaded_ || tx.generation != modelGeneration_) {
		if (!modelTextures_.empty())
			glDeleteTextures(GLsizei(modelTextures_.size()), modelTextures_.data());
		modelTextures_.assign(tx.images.size(), 0);
		if (!modelTextures_.empty())
			glGenTextures(GLsizei(modelTextures_.size()), modelTextures_.data());
		for (std::size_t i = 0; i < tx.images.size(); ++i)
			if (!tx.images[i].rgba.empty()) {
				glBindTexture(GL_TEXTURE_2D, modelTextures_[i]);
				Upload(modelTextures_[i], tx.images[i], GL_LINEAR);
			}
		modelGeneration_ = tx.generation;
		modelUploaded_ = true;
	}
	const TextureDisplay& TD = state.TD;
	if (TD.loaded && (!texUploaded_ || TD.texGeneration != texGeneration_)) {
		UploadPair(viewTextures_, TD.tex, texUploaded_);
		texGeneration_ = TD.texGeneration;
	}
	if (TD.palLoaded && (!palUploaded_ || TD.palGeneration != palGeneration_)) {
		UploadPair(paletteTextures_, TD.palTex, palUploaded_);
		palGeneration_ = TD.palGeneration;
	}
}

} // namespace zentarra::render
