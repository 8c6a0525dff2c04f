// Wavefront OBJ with an MTL library, from the posed model.
//
// Every mesh writes its own vertices: the unique corners' posed positions
// ("v"), texture coordinates ("vt", v flipped) and posed normals ("vn"), the
// three lists in step, then a group ("g", "s 1", "usemtl matN") and its faces,
// each corner's one number standing for position, texture coordinate and
// normal alike. Numbers are printed as printf("%f") prints them.
#pragma once

#include "model/model.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zentarra {

inline constexpr std::string_view kCantWriteFile = "Error: unable to write file";
inline constexpr std::string_view kCantWriteMtl = "Error: unable to write MTL file";

// The OBJ text in one buffer of its own, allocated once at its largest
// possible length (found from the counts and the largest magnitudes before a
// byte is written) and filled in place; only the pages written are touched.
struct ObjText {
	std::unique_ptr<char[]> text;
	std::size_t size = 0;

	std::span<const std::uint8_t> Bytes() const
	{
		return {reinterpret_cast<const std::uint8_t*>(text.get()), size};
	}
};

// The OBJ text of the model in its current pose, as ExportToOBJ gives it.
ObjText FormatOBJ(const BRMDL& model, const ModelNames& names, std::string_view modelName, bool skipHidden);

// The OBJ text of the model in its current pose. `modelName` goes on the
// mtllib line; meshes hidden in meshVisible are left out when skipHidden, and
// later meshes' face numbers then count only the vertices actually written.
std::string ExportToOBJ(const BRMDL& model, const ModelNames& names, std::string_view modelName, bool skipHidden);

// The MTL text: one material per model material, each naming "<texName>.tga";
// empty for a model without materials.
std::string MtlText(const BRMDL& model);

// The MTL path beside an OBJ path: its last three characters become "mtl".
std::filesystem::path MtlPathFor(const std::filesystem::path& objPath);

// Writes the MTL library beside the OBJ file; false when it cannot be written.
bool WriteMTL(const std::filesystem::path& objPath, const BRMDL& model);

// True when two corners have the same position, normal and texture-coordinate
// indices and the same node (the values themselves are never compared).
bool CompareVertices(const Vertex& a, const Vertex& b);

// The numbering of one corner of the mesh being written. The values written
// for a vertex are read from its first corner, so the record holds none.
struct UniqueVertex {
	std::int32_t duplicateOf = -1; // -1: the corner starts a vertex; else that earlier vertex's number
	std::int32_t vertexNumber = 0; // when duplicateOf is -1: zero-based, in order of first appearance
};

// The vertex number of each distinct corner of a mesh, keyed by the four
// indices CompareVertices compares, so that finding the first equal corner
// costs constant time instead of a walk over every earlier corner.
class CornerTable {
public:
	// Forgets every corner; sized for a mesh of `corners` corners.
	void Reset(std::size_t corners);

	// The number stored for a corner equal to this one; when there is none,
	// stores `number` for it and returns -1.
	std::int32_t FindOrAdd(const Vertex& corner, std::int32_t number);

private:
	struct Slot {
		std::int32_t posIndex;
		std::int32_t nrmIndex;
		std::int32_t uvIndex;
		std::int32_t node;
		std::int32_t number; // -1: empty
	};
	void Grow();

	std::vector<Slot> slots;
	std::size_t used = 0;
};

// The de-duplication step for the corner at position k of its mesh (triangle
// index * 3 + corner index), corners being visited in that order. When an
// earlier corner of the mesh is equal, records[k] takes its vertex number and
// the result is false; the first equal corner wins, as only corners that
// started a vertex are ever stored. Otherwise records[k] starts vertex
// number `counter`, the counter advances and the result is true.
bool LookForVertex2(const Vertex& corner, std::span<UniqueVertex> records, std::size_t k, CornerTable& seen,
	std::int32_t& counter);

} // namespace zentarra
