// What a glTF export embeds besides the model: its materials' textures,
// decoded, and the CHR0 and SHP0 entries that animate it.
#pragma once

#include "archive/archive_files.h"
#include "archive/items.h"
#include "base/byte_view.h"
#include "export/gltf.h"
#include "model/model.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zentarra {

struct GltfSourceRead {
	bool ok = false;
	std::string message; // failure: what is damaged; success: a warning, or ""
};

// Reads the CHR0 at `offset` for the model's bones into out.anim (type 1,
// only the bones it names loaded), named `name`.
GltfSourceRead ReadGltfBoneAnimation(ByteView& file, std::size_t offset, std::string_view name,
	const LoadedModel& model, GltfAnimation& out);

// Reads the SHP0 at `offset` for the model's arrays into out.anim (type 2).
GltfSourceRead ReadGltfVertexAnimation(ByteView& file, std::size_t offset, std::string_view name,
	const LoadedModel& model, GltfAnimation& out);

// True when the animation read for the model moves it: a CHR0 naming at
// least one of its bones, an SHP0 naming at least one of its arrays.
bool AnimatesModel(const GltfAnimation& animation);

// Every CHR0 and SHP0 entry of the archive file `archivePath` that animates
// the model, in list order. Entries that cannot be read are left out, each
// with a warning in `warnings`.
std::vector<GltfAnimation> FindModelAnimations(const LoadedModel& model, const OpenArchives& items,
	std::string_view archivePath, ArchiveFiles& files, std::vector<std::string>& warnings);

// The decoded texture of every material that names one, found as AutoExport
// finds them from the archive with id `modelArchive` on; a material whose texture cannot be had gets a warning instead.
std::vector<GltfTexture> DecodeGltfTextures(const LoadedModel& model, int modelArchive, const OpenArchives& items,
	ArchiveFiles& files, std::vector<std::string>& warnings);

} // namespace zentarra
