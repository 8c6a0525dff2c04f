// Wavefront OBJ with an MTL library, from the posed model.
#pragma once

#include "model/model.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace zentarra {

inline constexpr std::string_view kCantWriteMtl = "Error: unable to write MTL file";

// The OBJ text of the model in its current pose. `modelName` goes on the
// mtllib line; meshes hidden in meshVisible are left out when skipHidden.
std::string ExportToOBJ(const BRMDL& model, const ModelNames& names, std::string_view modelName, bool skipHidden);

// The MTL text: one material per model material, each naming "<texName>.tga".
std::string MtlText(const BRMDL& model);

// The MTL path beside an OBJ path: its last three characters become "mtl".
std::filesystem::path MtlPathFor(const std::filesystem::path& objPath);

// Writes the MTL library beside the OBJ file; false when it cannot be written.
bool WriteMTL(const std::filesystem::path& objPath, const BRMDL& model);

// True when two corners have the same position, normal and texture-coordinate
// indices and the same node (the values themselves are never compared).
bool CompareVertices(const Vertex& a, const Vertex& b);

} // namespace zentarra
