// A flat grid of rows x cols quads, two triangles each, for the exporters'
// benchmarks: corners share the grid point's index, so nearly every corner
// repeats one seen before; bind and posed values are the same.
#pragma once

#include "model/model.h"

#include <vector>

namespace zentarra::testing {

inline std::vector<Triangle> GridTriangles(int rows, int cols)
{
	const auto point = [rows, cols](int r, int c) {
		Vertex v;
		v.posIndex = v.nrmIndex = v.uvIndex = r * (cols + 1) + c;
		v.node = 0;
		v.pos[0] = v.posedPos[0] = float(c) * 0.37f - 100.0f;
		v.pos[1] = v.posedPos[1] = float(r) * 0.53f - 100.0f;
		v.pos[2] = v.posedPos[2] = float((r * 7 + c * 13) % 101) * 0.01f;
		v.nrm[2] = v.posedNrm[2] = 1.0f;
		v.uv[0] = float(c) / float(cols);
		v.uv[1] = float(r) / float(rows);
		return v;
	};
	std::vector<Triangle> triangles;
	for (int k = 0; k < rows * cols * 2; ++k) { // each cell's lower triangle, then its upper one
		const int r = k / 2 / cols, c = k / 2 % cols, up = k % 2;
		triangles.push_back(Triangle{{point(r, c + up), point(r + up, c + 1), point(r + 1, c)}});
	}
	return triangles;
}

} // namespace zentarra::testing
