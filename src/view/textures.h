// The decoded images the viewer shows: the loaded model's textures (tx) and
// the texture and palette of the texture views (TD). The renderer turns them
// into GL textures; a generation counter tells it when an image set changed.
#pragma once

#include "archive/archive_files.h"
#include "archive/items.h"
#include "model/model.h"
#include "texture/image_ops.h"
#include "texture/tex0.h"

#include <string>
#include <string_view>
#include <vector>

namespace zentarra {

// The model's textures: one image per material slot (nMesh slots; an empty
// image for a material without texture) and per mesh the slot it shows.
struct ModelTextures {
	int loaded = 0;
	std::vector<RgbaImage> images;
	std::vector<int> meshTex; // per mesh, a slot of images or -1
	unsigned generation = 0;  // changes whenever images change
};

// The texture and palette shown in the texture views.
struct TextureDisplay {
	RgbaImage tex[2];    // [0] the texture padded to powers of two, [1] its alpha as grey
	RgbaImage palTex[2]; // [0] the palette as 16 x 16 texels, [1] its alpha as grey
	int width = 0;
	int height = 0;
	int potWidth = 0;
	int potHeight = 0;
	int loaded = 0;
	int palLoaded = 0;
	std::vector<std::uint8_t> pixels; // the texture as decoded, width x height x 4
	std::string name;                 // its entry name, offered when exporting
	Palette palette{};                // the last palette loaded
	unsigned texGeneration = 0;
	unsigned palGeneration = 0;
};

// The model's textures from its material table: each material below both
// counts that names a texture found from the archive `mref` on (its palette
// from the texture's archive on) gets that image, rescaled to powers of two
// and mirrored as the material wraps; its meshes show it. A missing texture
// or palette leaves the material untextured, silently. False, and `tx` left
// alone, for a model without materials.
bool AutoLoadTex(const BRMDL& model, int mref, const OpenArchives& items, ArchiveFiles& files,
	const Palette* lastPalette, ModelTextures& tx);

// One texture on every mesh ("Load on Model"), rescaled to powers of two.
void ShowOnEveryMesh(const TexImage& texture, int nMesh, ModelTextures& tx);

// The texture view's images: padded to powers of two (not rescaled), and
// its alpha as grey; the decoded pixels kept for the exports.
void ShowFlatTexture(const TexImage& texture, std::string_view name, TextureDisplay& TD);

// The palette view's images, `count` entries of 16 x 16; the palette kept as
// the fallback of colour-indexed textures.
void ShowPalette(const Palette& palette, std::uint32_t count, TextureDisplay& TD);

} // namespace zentarra
