#include "anim/math3d.h"

#include "model/model.h"

#include <cmath>
#include <cstddef>

namespace zentarra {

namespace {

// R := A x B through a scratch matrix, so R may be either operand.
void MultiplyMatrix(Matrix34& r, const Matrix34& a, const Matrix34& b)
{
	Matrix34 scratch{};
	for (std::size_t row = 0; row < 3; ++row) {
		for (std::size_t col = 0; col < 4; ++col) {
			float sum = 0.0f;
			for (std::size_t k = 0; k < 3; ++k) {
				const float product = a[row * 4 + k] * b[k * 4 + col];
				sum = sum + product;
			}
			scratch[row * 4 + col] = sum;
		}
		// B's implicit fourth row (0 0 0 1) picks up A's translation last
		scratch[row * 4 + 3] = scratch[row * 4 + 3] + a[row * 4 + 3];
	}
	r = scratch;
}

} // namespace

float Norm(float x, float y, float z)
{
	// the squares are summed in float, so a tiny vector can come out as 0
	const float xx = x * x;
	const float yy = y * y;
	const float zz = z * z;
	const float sum = (xx + yy) + zz;
	return float(std::sqrt(double(sum)));
}

void Normalize(Vertex& vertex)
{
	const float len = Norm(vertex.nrm[0], vertex.nrm[1], vertex.nrm[2]);
	if (len == 0.0f)
		return;
	vertex.nrm[0] = vertex.nrm[0] / len;
	vertex.nrm[1] = vertex.nrm[1] / len;
	vertex.nrm[2] = vertex.nrm[2] / len;
}

bool NormSet(const Vertex& vertex)
{
	return Norm(vertex.nrm[0], vertex.nrm[1], vertex.nrm[2]) > 0.5f;
}

void MultiplyMatrixL(const Matrix34& a, Matrix34& b)
{
	MultiplyMatrix(b, a, b);
}

void MultiplyMatrixR(Matrix34& a, const Matrix34& b)
{
	MultiplyMatrix(a, a, b);
}

float InterpolateFrame(std::span<const Key> keys, float frame)
{
	if (keys.empty())
		return 0.0f;
	for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
		const Key& k0 = keys[i];
		const Key& k1 = keys[i + 1];
		if (k0.frame == frame)
			return k0.value;
		if (frame > k0.frame && k1.frame > frame) {
			const float t = (frame - k0.frame) / (k1.frame - k0.frame);
			const float a = (1.0f - t) * k0.value;
			const float b = k1.value * t;
			return a + b;
		}
	}
	// after the last key, and before the first one too: the last value holds
	return keys.back().value;
}

void BlendVectors(float* acc, float baseX, float baseY, float baseZ, float targetX, float targetY, float targetZ,
	float w)
{
	acc[0] = acc[0] + (targetX - baseX) * w;
	acc[1] = acc[1] + (targetY - baseY) * w;
	acc[2] = acc[2] + (targetZ - baseZ) * w;
}

} // namespace zentarra
