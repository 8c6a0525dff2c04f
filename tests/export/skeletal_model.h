// A small skinned model and animation for the PSK, PSA and MD5 tests.
#pragma once

#include "anim/skinning.h"
#include "model/model.h"

namespace zentarra::test {

inline Node SkeletonNode(int bone, int parent, Vec3 rot, Vec3 trans)
{
	Node node;
	node.bone = bone;
	node.parent = parent;
	for (std::size_t i = 0; i < 3; ++i) {
		node.rot[i] = rot[i];
		node.trans[i] = trans[i];
	}
	return node;
}

inline Vertex SkinCorner(int pos, int uv, int node)
{
	Vertex v;
	v.posIndex = pos;
	v.nrmIndex = -2;
	v.uvIndex = uv;
	v.node = node;
	return v;
}

// Bones root (node 0), arm (node 1: at (1, 2, 3), turned 90 degrees about Z)
// and hand (node 2: one unit along the arm's Y); node 3 blends arm 0.25 and
// hand 0.75. Meshes: "body", two triangles on the arm sharing an edge, with
// texture coordinates and material 0 ("skin_tex"); "hidden", one triangle
// of the body's corners, hidden; "skin", one triangle of two blended corners and one on the hand,
// without texture coordinates, material 1 (no texture). In the bind pose.
inline LoadedModel SkeletalModel()
{
	LoadedModel model;
	model.nBones = 3;
	model.bonemap = {0, 1, 2};
	model.names.bones = {"root", "arm", "hand"};
	model.nodelist = {SkeletonNode(0, -1, {0, 0, 0}, {0, 0, 0}), SkeletonNode(1, 0, {0, 0, 90}, {1, 2, 3}),
		SkeletonNode(2, 1, {0, 0, 0}, {0, 1, 0}), Node()};
	model.nodelist[3].nWeights = 2;
	model.nodelist[3].wNode = {1, 2};
	model.nodelist[3].weight = {0.25f, 0.75f};
	model.nNodes = 4;

	BRMDL& md = model.MD;
	md.nVtx = 2;
	md.vtx = {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{1, 2, 3}, {0, 3, 3}, {0.5f, 0, 0}}};
	md.nUV = 1;
	md.uv = {{{0, 0}, {1, 0}, {0, 1}, {0.25f, 0.75f}}};
	md.nMesh = 3;
	md.meshInfo.resize(3);
	md.meshInfo[0].vtxArray = 0;
	md.meshInfo[0].uvArray[0] = 0;
	md.meshInfo[1].vtxArray = 0;
	md.meshInfo[1].uvArray[0] = 0;
	md.meshInfo[2].vtxArray = 1;
	md.meshVisible = {1, 0, 1};
	md.meshMat = {0, 0, 1};
	md.hasMat = 1;
	md.nMat = 2;
	md.texName = {"skin_tex", ""};
	md.palName = {"", ""};
	md.meshTris = {
		{{{SkinCorner(0, 0, 1), SkinCorner(1, 1, 1), SkinCorner(2, 2, 1)}},
			{{SkinCorner(1, 1, 1), SkinCorner(3, 3, 1), SkinCorner(2, 2, 1)}}},
		{{{SkinCorner(0, 0, 1), SkinCorner(1, 1, 1), SkinCorner(3, 3, 1)}}},
		{{{SkinCorner(0, -1, 3), SkinCorner(1, -1, 3), SkinCorner(2, -1, 2)}}},
	};
	ResetBones(md, model.nodelist);
	return model;
}

inline std::vector<Key> Track(std::initializer_list<Key> keys)
{
	return std::vector<Key>(keys);
}

// Three frames: the root still, the arm turning about Z from 0 to 90 degrees
// at its bind place; the hand has no record (its tracks count as 0).
inline AnimState SkeletalAnimation()
{
	AnimState anim;
	anim.type = 1;
	anim.nFrames = 3;
	anim.bones.resize(2);
	for (BoneAnim& bone : anim.bones)
		for (std::size_t i = 0; i < 3; ++i) {
			bone.scaleKeys[i] = Track({{0, 1}});
			bone.rotKeys[i] = Track({{0, 0}});
			bone.transKeys[i] = Track({{0, 0}});
		}
	anim.bones[1].rotKeys[2] = Track({{0, 0}, {2, 90}});
	anim.bones[1].transKeys[0] = Track({{0, 1}});
	anim.bones[1].transKeys[1] = Track({{0, 2}});
	anim.bones[1].transKeys[2] = Track({{0, 3}});
	anim.bones[1].scaleKeys[0] = Track({{0, 5}}); // scale is never exported
	return anim;
}

} // namespace zentarra::test
