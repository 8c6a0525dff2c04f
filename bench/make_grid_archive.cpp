// Writes a BRRES holding one model "grid" of 16 flat meshes, 62,500 triangles
// each: 1,000,000 triangles in all, for timing whole-process exports such as
//   /usr/bin/time -v zentarra-cli export-model grid.brres grid -o grid.obj
// Each mesh is 125 rows of 250 quads, one triangle strip per row, over its
// own position, normal and texture-coordinate arrays (indices are 16-bit, so
// one array cannot hold all the points).
#include "base/file_io.h"
#include "support/mdl0_writer.h"

#include <cstdio>

namespace {

using namespace zentarra::testing;

constexpr int kMeshes = 16, kRows = 125, kCols = 250;

Mdl0Model GridModel()
{
	Mdl0Model model;
	model.name = "grid";
	model.bones.push_back({.name = "root", .node = 0});
	for (int m = 0; m < kMeshes; ++m) {
		const std::string name = "grid" + std::to_string(m);
		VertexArray pos{.name = name}, nrm{.name = name}, uv{.name = name, .components = 2};
		for (int r = 0; r <= kRows; ++r)
			for (int c = 0; c <= kCols; ++c) {
				const float x = float(c) * 0.37f, y = float(r + m * kRows) * 0.53f;
				pos.values.insert(pos.values.end(), {x, y, float((r * 7 + c * 13) % 101) * 0.01f});
				nrm.values.insert(nrm.values.end(), {0, 0, 1});
				uv.values.insert(uv.values.end(), {float(c) / kCols, float(r) / kRows});
			}
		Mdl0Mesh mesh{.name = name, .vtxArray = m, .nrmArray = m, .posSize = 2, .nrmSize = 2};
		mesh.uvArray[0] = m;
		mesh.texSize[0] = 2;
		for (int r = 0; r < kRows; ++r) {
			std::vector<int> strip;
			for (int c = 0; c <= kCols; ++c)
				strip.insert(strip.end(), {(r + 1) * (kCols + 1) + c, r * (kCols + 1) + c});
			mesh.primitives.push_back(Strip(strip));
		}
		model.positions.push_back(std::move(pos));
		model.normals.push_back(std::move(nrm));
		model.texCoords.push_back(std::move(uv));
		model.meshes.push_back(std::move(mesh));
	}
	return model;
}

} // namespace

int main(int argc, char** argv)
{
	if (argc != 2) {
		std::fprintf(stderr, "usage: make-grid-archive OUTPUT.brres\n");
		return 2;
	}
	const ModelArchive archive = BuildModelArchive(GridModel());
	if (!zentarra::WriteFileAtomically(argv[1], archive.bytes)) {
		std::fprintf(stderr, "make-grid-archive: cannot write %s\n", argv[1]);
		return 1;
	}
	return 0;
}
