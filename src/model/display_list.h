// Turning a mesh's display list into triangles, and the vertex descriptor
// that says how its vertices are laid out.
#pragma once

#include "base/byte_view.h"
#include "model/model.h"

#include <cstdint>
#include <vector>

namespace zentarra {

// Descriptor from the byte at P+4 of the low vertex-descriptor command (bits 8..15).
void SetNB1(std::uint8_t byte, NB& nb);
// From the byte at P+5 (bits 0..7): the number of matrix indices.
void SetNB2(std::uint8_t byte, NB& nb);
// From the bytes at P+10 and P+11 of the high descriptor word: texture channels.
void SetNB3(std::uint8_t first, std::uint8_t second, NB& nb);

// Interprets the display list whose first opcode was just read, appending its
// triangles to `triangles` in display-list order, each with its corners
// reversed. Ends at opcode 0 or the end of the view. False, with nothing
// appended, when the list would make more than `maxTriangles` triangles.
bool ReadPolygonData(ByteView& file, std::uint8_t firstOpcode, std::vector<Triangle>& triangles, const BRMDL& model,
	const MeshInfo& mesh, const NB& nb, std::size_t maxTriangles = SIZE_MAX);

// Appends one triangle with its corners in the given order.
void AddTriangle(std::vector<Triangle>& triangles, const Vertex& first, const Vertex& second, const Vertex& third);

} // namespace zentarra
