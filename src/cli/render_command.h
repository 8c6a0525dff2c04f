// zentarra-cli render: a model drawn offscreen exactly as the viewer shows it
// after loading it, written as a PNG image. No display is needed.
#pragma once

#include <array>
#include <optional>
#include <ostream>
#include <string>

namespace zentarra::cli {

struct RenderOptions {
	std::string archive;
	std::string model;  // entry name, or folder/name
	std::string output; // PNG file
	std::string size = "640x480";
	std::string anim;   // CHR0 entry, NAME or OTHER.brres:NAME; empty for the bind pose
	float frame = 0;
	bool wireframe = false;
	bool noAxes = false;
	bool noLighting = false;
	bool noColors = false;
	bool noTextures = false;
	bool noCulling = false;
	bool center = false;
	std::string rotate;     // "Z,Y" in degrees; empty for the start position
	std::string background; // "R,G,B", 0 to 255 each; empty for black
};

struct RenderTextureOptions {
	std::string archive;
	std::string texture; // TEX0 entry; with paletteView a PLT0 entry
	std::string output;  // PNG file
	std::string channel = "normal";
	float zoom = 1.0f;
	std::string pan;     // "X,Y" in the view's units (two per pixel); empty for 0,0
	std::string size;    // "WxH"; empty for the texture's power-of-two size
	std::string palette; // PLT0 entry loaded first, the fallback of colour-indexed textures
	std::string background;
	bool paletteView = false;
};

// Returns the exit status: 0 when the image was written, 1 with the message
// on `err` otherwise (no usable OpenGL, a model that does not read, an
// unwritable file), 2 for an option that does not parse. Warnings go to `err`.
int RunRender(const RenderOptions& options, std::ostream& err);

// zentarra-cli render-texture: the texture view (or the palette view) as the
// viewer shows it after "Load and Display". Exit statuses as for RunRender.
int RunRenderTexture(const RenderTextureOptions& options, std::ostream& err);

} // namespace zentarra::cli
