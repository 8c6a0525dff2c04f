#include "anim/skinning.h"

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

// Meshes that have both triangles and, when asked, array bindings; the counts
// and the tables could disagree in a damaged model.
std::size_t MeshCount(const BRMDL& model, bool withInfo)
{
	std::size_t count = model.nMesh > 0 ? std::size_t(model.nMesh) : 0;
	count = std::min(count, model.meshTris.size());
	if (withInfo)
		count = std::min(count, model.meshInfo.size());
	return count;
}

enum class Attribute { Position, Normal };

// Morphs one attribute of every corner of the meshes bound to array `base`:
// base + sum of w_t (target_t - base), always starting again from the stored
// array. Targets of -1 are skipped, and so is any target too short to hold
// the corner's entry.
void MorphAttribute(BRMDL& model, Attribute attribute, int base, std::span<const int> targets,
	std::span<const float> weights)
{
	const bool positions = attribute == Attribute::Position;
	const std::vector<std::vector<Vec3>>& arrays = positions ? model.vtx : model.nrm;
	if (!InTable(base, arrays.size()))
		return; // -1 and damaged indices match no mesh
	const std::vector<Vec3>& baseArray = arrays[std::size_t(base)];
	const std::size_t nTargets = std::min(targets.size(), weights.size());

	const std::size_t meshes = MeshCount(model, true);
	for (std::size_t j = 0; j < meshes; ++j) {
		const MeshInfo& info = model.meshInfo[j];
		if ((positions ? info.vtxArray : info.nrmArray) != base)
			continue;
		for (Triangle& tri : model.meshTris[j]) {
			for (Vertex& v : tri.v) {
				const int index = positions ? v.posIndex : v.nrmIndex;
				if (!InTable(index, baseArray.size()))
					continue; // no base entry: the corner keeps what it has
				const Vec3& b = baseArray[std::size_t(index)];
				float acc[3] = {b[0], b[1], b[2]};
				for (std::size_t t = 0; t < nTargets; ++t) {
					const int target = targets[t];
					if (!InTable(target, arrays.size()))
						continue;
					const std::vector<Vec3>& targetArray = arrays[std::size_t(target)];
					if (!InTable(index, targetArray.size()))
						continue;
					const Vec3& g = targetArray[std::size_t(index)];
					BlendVectors(acc, b[0], b[1], b[2], g[0], g[1], g[2], weights[t]);
				}
				float* stored = positions ? v.pos : v.nrm;
				std::copy(acc, acc + 3, stored);
				if (!positions)
					Normalize(v);
			}
		}
	}
}

// The first nTargets entries of a per-target list, fewer if the list is short.
std::span<const int> TargetList(const std::vector<int>& list, int nTargets)
{
	const std::size_t count = nTargets > 0 ? std::size_t(nTargets) : 0;
	return std::span<const int>(list).first(std::min(count, list.size()));
}

} // namespace

void CalcVertexPosition(Vertex& vertex, const std::vector<Node>& nodes)
{
	// a corner naming no node of the table stays where it is stored
	const Matrix34& m = InTable(vertex.node, nodes.size()) ? nodes[std::size_t(vertex.node)].finalMatrix : kIdentity34;

	const float x = vertex.pos[0], y = vertex.pos[1], z = vertex.pos[2];
	const float nx = vertex.nrm[0], ny = vertex.nrm[1], nz = vertex.nrm[2];
	float n[3];
	for (std::size_t r = 0; r < 3; ++r) {
		const float* row = &m[r * 4];
		vertex.posedPos[r] = row[0] * x + row[1] * y + row[2] * z + row[3];
		n[r] = row[0] * nx + row[1] * ny + row[2] * nz;
	}
	const float len = Norm(n[0], n[1], n[2]);
	if (len == 0.0f)
		return; // no direction to show: keep the last one
	for (std::size_t r = 0; r < 3; ++r)
		vertex.posedNrm[r] = n[r] / len;
}

void RecalculateVertices(BRMDL& model, const std::vector<Node>& nodes)
{
	const std::size_t meshes = MeshCount(model, false);
	for (std::size_t i = 0; i < meshes; ++i) {
		for (Triangle& tri : model.meshTris[i]) {
			CalcVertexPosition(tri.v[0], nodes);
			CalcVertexPosition(tri.v[1], nodes);
			CalcVertexPosition(tri.v[2], nodes);
		}
	}
}

void CalcVertexAnimation(BRMDL& model, const AnimState& anim)
{
	for (std::size_t i = 0; i < anim.vanim.size(); ++i) {
		const VAnim& entry = anim.vanim[i];
		// an entry without a weight list morphs nothing but still resets to the base
		const std::span<const float> weights = i < model.morph.size() ? std::span<const float>(model.morph[i])
			: std::span<const float>();
		MorphAttribute(model, Attribute::Position, entry.vtxArray, TargetList(entry.vtxTarget, entry.nTargets), weights);
		MorphAttribute(model, Attribute::Normal, entry.nrmArray, TargetList(entry.nrmTarget, entry.nTargets), weights);
	}
}

void RecalculateModel(BRMDL& model, std::vector<Node>& nodes, const AnimState& anim)
{
	if (anim.type & 2) {
		// morph weights always follow the global frame, even with per-bone frames
		const std::size_t entries = std::min(anim.vanim.size(), model.morph.size());
		for (std::size_t i = 0; i < entries; ++i) {
			const VAnim& entry = anim.vanim[i];
			std::vector<float>& weights = model.morph[i];
			const std::size_t targets = std::min(entry.weightKeys.size(), weights.size());
			for (std::size_t t = 0; t < targets; ++t) {
				if (!entry.weightKeys[t].empty())
					weights[t] = InterpolateFrame(entry.weightKeys[t], anim.frame);
			}
		}
		CalcVertexAnimation(model, anim);
	}

	if (anim.type & 1) {
		const int count = int(nodes.size());
		for (int i = 0; i < count; ++i) {
			if (nodes[std::size_t(i)].nWeights == 0)
				CalcNodeAnimMatrix(nodes[std::size_t(i)], anim);
		}
		CalcFinalAndWeightedMatrices(nodes);
	}

	RecalculateVertices(model, nodes);
}

void ResetBones(BRMDL& model, std::vector<Node>& nodes)
{
	for (Node& node : nodes) {
		Transfo bind;
		std::copy(node.scale, node.scale + 3, bind.scale);
		std::copy(node.rot, node.rot + 3, bind.rot);
		std::copy(node.trans, node.trans + 3, bind.trans);
		CalcNodeMatrix(node, bind);
		std::copy(node.rot, node.rot + 3, node.curRot);
	}
	// weighted nodes get their identity bind matrices here, not a blend, so
	// their bind-space corners stay where they are stored
	const int count = int(nodes.size());
	for (int i = 0; i < count; ++i) {
		CalcNodeFinalMatrix(i, nodes);
		CalcNodeBaseMatrix(i, nodes);
	}
	RecalculateVertices(model, nodes);
}

void ResetVertices(BRMDL& model, const std::vector<Node>& nodes, const AnimState& anim)
{
	const std::size_t meshes = MeshCount(model, true);
	for (std::size_t j = 0; j < meshes; ++j) {
		const MeshInfo& info = model.meshInfo[j];
		const std::vector<Vec3>* positions = InTable(info.vtxArray, model.vtx.size())
			? &model.vtx[std::size_t(info.vtxArray)] : nullptr;
		// 65535: the mesh has no normals, so its corners keep theirs
		const std::vector<Vec3>* normals = info.nrmArray != 0xFFFF && InTable(info.nrmArray, model.nrm.size())
			? &model.nrm[std::size_t(info.nrmArray)] : nullptr;
		for (Triangle& tri : model.meshTris[j]) {
			for (Vertex& v : tri.v) {
				// an index outside its array leaves the stored value as it is
				if (positions && InTable(v.posIndex, positions->size()))
					std::copy_n((*positions)[std::size_t(v.posIndex)].begin(), 3, v.pos);
				if (normals && InTable(v.nrmIndex, normals->size()))
					std::copy_n((*normals)[std::size_t(v.nrmIndex)].begin(), 3, v.nrm);
			}
		}
	}
	if (anim.type & 2) {
		for (std::vector<float>& weights : model.morph)
			std::fill(weights.begin(), weights.end(), 0.0f);
	}
	RecalculateVertices(model, nodes);
}

float CalcRadMax(const BRMDL& model)
{
	float largest[3] = {0, 0, 0};
	for (const std::vector<Triangle>& mesh : model.meshTris)
		for (const Triangle& triangle : mesh)
			for (const Vertex& corner : triangle.v)
				for (int axis = 0; axis < 3; ++axis)
					largest[axis] = std::max(largest[axis], std::fabs(corner.posedPos[axis]));
	return Norm(largest[0], largest[1], largest[2]);
}

} // namespace zentarra
