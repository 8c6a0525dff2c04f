// Single-precision vector and matrix routines shared by the skeleton,
// skinning, playback, drawing and the animation exporters.
//
// Precision is part of the contract: partial sums are stored as float, square
// roots, sines and cosines are taken in double and rounded to float. The core
// is built with -ffp-contract=off so a*b+c is never fused.
#pragma once

#include <array>
#include <span>

namespace zentarra {

struct Vertex;

// 3x4 affine matrix, row by row: element (r, j) at r*4 + j. Columns 0..2 are
// the linear part, column 3 the translation; the fourth row is 0 0 0 1.
using Matrix34 = std::array<float, 12>;

inline constexpr Matrix34 kIdentity34 = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};

// One key of an animation track; tracks are ascending in frame.
struct Key {
	float frame = 0;
	float value = 0;
};

// sqrt(x*x + y*y + z*z), the root taken in double and rounded to float.
float Norm(float x, float y, float z);

// Scales the vertex's stored normal `nrm` to unit length; a zero normal stays.
void Normalize(Vertex& vertex);

// True when the vertex's stored normal is longer than 0.5.
bool NormSet(const Vertex& vertex);

// B := A x B. A and B may be the same matrix.
void MultiplyMatrixL(const Matrix34& a, Matrix34& b);

// A := A x B. A and B may be the same matrix.
void MultiplyMatrixR(Matrix34& a, const Matrix34& b);

// The track's value at `frame`: the key's value on an exact frame, linear
// between two keys, else the last key's value (also before the first key).
// An empty track gives 0.
float InterpolateFrame(std::span<const Key> keys, float frame);

// acc += (target - base) * w, component by component.
void BlendVectors(float* acc, float baseX, float baseY, float baseZ, float targetX, float targetY, float targetZ,
	float w);

// Degrees to radians as the skeleton does it: degrees / 180.0 * pi in double.
inline double DegreesToRadians(float degrees)
{
	return double(degrees) / 180.0 * 3.141592653589793;
}

} // namespace zentarra
