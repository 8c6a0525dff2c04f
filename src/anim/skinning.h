// Posing the model's corners from the node matrices, morphing, and the
// operations that bring the model into a consistent state.
#pragma once

#include "model/model.h"

#include <vector>

namespace zentarra {

// Posed position and normal of one corner from its node's finalMatrix.
void CalcVertexPosition(Vertex& vertex, const std::vector<Node>& nodes);

// CalcVertexPosition on every corner of every triangle of every mesh.
void RecalculateVertices(BRMDL& model, const std::vector<Node>& nodes);

// Morphs the stored positions and normals with the current morph weights.
void CalcVertexAnimation(BRMDL& model, const AnimState& anim);

// Full update for the current frame: morph weights and morphing, bone
// matrices, then every corner.
void RecalculateModel(BRMDL& model, std::vector<Node>& nodes, const AnimState& anim);

// Bind pose for every node, inverse bind matrices, corners re-posed.
void ResetBones(BRMDL& model, std::vector<Node>& nodes);

// Stored positions and normals back from the arrays, morph weights zeroed,
// corners re-posed.
void ResetVertices(BRMDL& model, const std::vector<Node>& nodes, const AnimState& anim);

// The model's bounding radius: from the origin to the corner of the
// origin-centred box holding every posed corner (hidden meshes included).
float CalcRadMax(const BRMDL& model);

} // namespace zentarra
