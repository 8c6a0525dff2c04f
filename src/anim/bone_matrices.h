// Per-node matrices: local, model space, inverse bind, and the blended
// skinning matrix of weighted nodes.
#pragma once

#include "model/model.h"

#include <vector>

namespace zentarra {

// node.matrix := T x Rz x Ry x Rx x S of the transform.
void CalcNodeMatrix(Node& node, const Transfo& transfo);

// out := inverse of the local matrix of the transform.
void CalcReverseMatrix(Matrix34& out, const Transfo& transfo);

// The node's animated transform at the current frame.
void CalcNodeAnimTransfo(const Node& node, const AnimState& anim, Transfo& out);

// CalcNodeAnimTransfo, then curRot := its rotation, then CalcNodeMatrix.
void CalcNodeAnimMatrix(Node& node, const AnimState& anim);

// nodes[index].finalMatrix := product of the local matrices up the parent chain.
// A chain longer than the table (a cycle in a damaged file) stops there.
void CalcNodeFinalMatrix(int index, std::vector<Node>& nodes);

// nodes[index].baseMatrix := inverse of the bind-pose model-space matrix.
void CalcNodeBaseMatrix(int index, std::vector<Node>& nodes);

// Weighted node: matrix and finalMatrix := sum of weight x (finalMatrix x baseMatrix)
// of the blended nodes.
void CalcNodeMultiMatrix(int index, std::vector<Node>& nodes);

// The model-space pass over every bone node, then the blend of every
// weighted node, which reads the bone nodes' fresh finalMatrix.
void CalcFinalAndWeightedMatrices(std::vector<Node>& nodes);

} // namespace zentarra
