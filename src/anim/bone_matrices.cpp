#include "anim/bone_matrices.h"

#include "anim/math3d.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>

namespace zentarra {

namespace {

bool InTable(int index, std::size_t size)
{
	return index >= 0 && std::size_t(index) < size;
}

// Sines and cosines of the three angles, taken in double and rounded to float.
struct Angles {
	float cx, sx, cy, sy, cz, sz;
};

Angles TrigOf(const float (&rot)[3])
{
	const double ax = DegreesToRadians(rot[0]);
	const double ay = DegreesToRadians(rot[1]);
	const double az = DegreesToRadians(rot[2]);
	return Angles{
		float(std::cos(ax)), float(std::sin(ax)),
		float(std::cos(ay)), float(std::sin(ay)),
		float(std::cos(az)), float(std::sin(az)),
	};
}

Transfo BindTransfo(const Node& node)
{
	Transfo bind;
	for (std::size_t i = 0; i < 3; ++i) {
		bind.scale[i] = node.scale[i];
		bind.rot[i] = node.rot[i];
		bind.trans[i] = node.trans[i];
	}
	return bind;
}

// 1/k in float. A zero scale has no inverse; 0 keeps the inverse bind
// matrices finite instead of spreading infinities and NaNs down the chain.
float Reciprocal(float k)
{
	return k == 0.0f ? 0.0f : 1.0f / k;
}

// An empty track keeps the bind value.
float TrackValue(std::span<const Key> keys, float frame, float bind)
{
	return keys.empty() ? bind : InterpolateFrame(keys, frame);
}

} // namespace

void CalcNodeMatrix(Node& node, const Transfo& transfo)
{
	const Angles a = TrigOf(transfo.rot);
	const float kx = transfo.scale[0], ky = transfo.scale[1], kz = transfo.scale[2];
	Matrix34& m = node.matrix;

	m[0] = kx * a.cy * a.cz;
	m[1] = ky * (a.sx * a.sy * a.cz - a.cx * a.sz);
	m[2] = kz * (a.cx * a.sy * a.cz + a.sx * a.sz);
	m[3] = transfo.trans[0];

	m[4] = kx * a.cy * a.sz;
	m[5] = ky * (a.sx * a.sy * a.sz + a.cx * a.cz);
	m[6] = kz * (a.cx * a.sy * a.sz - a.sx * a.cz);
	m[7] = transfo.trans[1];

	m[8] = -kx * a.sy;
	m[9] = ky * a.sx * a.cy;
	m[10] = kz * a.cx * a.cy;
	m[11] = transfo.trans[2];
}

void CalcReverseMatrix(Matrix34& out, const Transfo& transfo)
{
	const Angles a = TrigOf(transfo.rot);
	const float ix = Reciprocal(transfo.scale[0]);
	const float iy = Reciprocal(transfo.scale[1]);
	const float iz = Reciprocal(transfo.scale[2]);

	// S^-1 x R^T: row r of the result is column r of the rotation over its scale
	out[0] = ix * a.cy * a.cz;
	out[1] = ix * a.cy * a.sz;
	out[2] = -ix * a.sy;

	out[4] = iy * (a.sx * a.sy * a.cz - a.cx * a.sz);
	out[5] = iy * (a.sx * a.sy * a.sz + a.cx * a.cz);
	out[6] = iy * a.sx * a.cy;

	out[8] = iz * (a.cx * a.sy * a.cz + a.sx * a.sz);
	out[9] = iz * (a.cx * a.sy * a.sz - a.sx * a.cz);
	out[10] = iz * a.cx * a.cy;

	// then x T^-1: the negated translation through the rows above
	const float ntx = -transfo.trans[0], nty = -transfo.trans[1], ntz = -transfo.trans[2];
	for (std::size_t r = 0; r < 3; ++r) {
		const float* row = &out[r * 4];
		out[r * 4 + 3] = row[0] * ntx + row[1] * nty + row[2] * ntz;
	}
}

void CalcNodeAnimTransfo(const Node& node, const AnimState& anim, Transfo& out)
{
	out = BindTransfo(node);
	if (!InTable(node.bone, anim.bones.size()))
		return; // no tracks for this bone: it stays in its bind pose
	const BoneAnim& e = anim.bones[std::size_t(node.bone)];
	const float frame = anim.nFrames < 0 ? e.frame : anim.frame;

	for (std::size_t i = 0; i < 3; ++i) {
		out.rot[i] = TrackValue(e.rotKeys[i], frame, node.rot[i]);
		if (anim.rotOnly)
			continue;
		out.scale[i] = TrackValue(e.scaleKeys[i], frame, node.scale[i]);
		out.trans[i] = TrackValue(e.transKeys[i], frame, node.trans[i]);
	}
}

void CalcNodeAnimMatrix(Node& node, const AnimState& anim)
{
	Transfo transfo;
	CalcNodeAnimTransfo(node, anim, transfo);
	for (std::size_t i = 0; i < 3; ++i)
		node.curRot[i] = transfo.rot[i];
	CalcNodeMatrix(node, transfo);
}

// Parent chains come from the file: a parent outside the table ends the
// chain, and a chain longer than the table (a cycle) is cut there.
void CalcNodeFinalMatrix(int index, std::vector<Node>& nodes)
{
	if (!InTable(index, nodes.size()))
		return;
	Node& node = nodes[std::size_t(index)];
	Matrix34 acc = node.matrix;
	int p = node.parent;
	for (std::size_t steps = 0; steps < nodes.size() && InTable(p, nodes.size()); ++steps) {
		const Node& parent = nodes[std::size_t(p)];
		MultiplyMatrixL(parent.matrix, acc);
		p = parent.parent;
	}
	node.finalMatrix = acc;
}

void CalcNodeBaseMatrix(int index, std::vector<Node>& nodes)
{
	if (!InTable(index, nodes.size()))
		return;
	Node& node = nodes[std::size_t(index)];
	Matrix34 acc;
	CalcReverseMatrix(acc, BindTransfo(node));
	int p = node.parent;
	for (std::size_t steps = 0; steps < nodes.size() && InTable(p, nodes.size()); ++steps) {
		const Node& parent = nodes[std::size_t(p)];
		Matrix34 inverse;
		CalcReverseMatrix(inverse, BindTransfo(parent));
		MultiplyMatrixR(acc, inverse);
		p = parent.parent;
	}
	node.baseMatrix = acc;
}

void CalcNodeMultiMatrix(int index, std::vector<Node>& nodes)
{
	if (!InTable(index, nodes.size()))
		return;
	Node& node = nodes[std::size_t(index)];
	// the weight lists come from the file; pairs beyond either list are ignored
	std::size_t count = node.nWeights > 0 ? std::size_t(node.nWeights) : 0;
	count = std::min(count, std::min(node.wNode.size(), node.weight.size()));

	Matrix34 sum{};
	for (std::size_t q = 0; q < count; ++q) {
		const int j = node.wNode[q];
		if (!InTable(j, nodes.size()))
			continue;
		const Node& blended = nodes[std::size_t(j)];
		Matrix34 tmp = blended.baseMatrix;
		MultiplyMatrixL(blended.finalMatrix, tmp);
		const float w = node.weight[q];
		for (std::size_t e = 0; e < 12; ++e)
			sum[e] = sum[e] + tmp[e] * w;
	}
	node.matrix = sum;
	node.finalMatrix = sum;
}

void CalcFinalAndWeightedMatrices(std::vector<Node>& nodes)
{
	const int count = int(nodes.size());
	for (int i = 0; i < count; ++i) {
		if (nodes[std::size_t(i)].nWeights == 0)
			CalcNodeFinalMatrix(i, nodes);
	}
	for (int i = 0; i < count; ++i) {
		if (nodes[std::size_t(i)].nWeights > 0)
			CalcNodeMultiMatrix(i, nodes);
	}
}

} // namespace zentarra
