// A small skinned model and animation for the PSK, PSA and MD5 tests.
#pragma once

#include "anim/skinning.h"
#include "model/model.h"

namespace zentarra::test {

inline Vertex SkinCorner(int pos, int uv, int node)
{
	Vertex v;
	v.posIndex = pos;
	v.uvIndex = uv;
	v.node = node;
	return v;
}

// Bones root (node 0), arm (node 1: at (1, 2, 3), turned 90 degrees about Z)
// and hand (node 2: one unit along the arm's Y); node 3 blends arm 0.25 and
// hand 0.75. Meshes: "body", two triangles on the arm sharing an edge, with
// texture coordinates and material 0 ("skin_tex"); "hidden", one triangle of
// the body's corners, hidden; "skin", one triangle of two blended corners and
// one on the hand, without texture coordinates, material 1 (no texture).
// In the bind pose.
inline LoadedModel SkeletalModel()
{
	LoadedModel model;
	model.nBones = 3;
	model.bonemap = {0, 1, 2};
	model.names.bones = {"root", "arm", "hand"};
	model.nNodes = 4;
	model.nodelist.resize(4);
	for (int n = 0; n < 3; ++n) {
		model.nodelist[n].bone = n;
		model.nodelist[n].parent = n - 1;
	}
	model.nodelist[1].rot[2] = 90;
	model.nodelist[1].trans[0] = 1;
	model.nodelist[1].trans[1] = 2;
	model.nodelist[1].trans[2] = 3;
	model.nodelist[2].trans[1] = 1;
	model.nodelist[3].nWeights = 2;
	model.nodelist[3].wNode = {1, 2};
	model.nodelist[3].weight = {0.25f, 0.75f};

	BRMDL& md = model.MD;
	md.nVtx = 2;
	md.vtx = {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{1, 2, 3}, {0, 3, 3}, {0.5f, 0, 0}}};
	md.nUV = 1;
	md.uv = {{{0, 0}, {1, 0}, {0, 1}, {0.25f, 0.75f}}};
	md.nMesh = 3;
	md.meshInfo.resize(3);
	md.meshInfo[0].vtxArray = md.meshInfo[1].vtxArray = 0;
	md.meshInfo[0].uvArray[0] = md.meshInfo[1].uvArray[0] = 0;
	md.meshInfo[2].vtxArray = 1;
	md.meshVisible = {1, 0, 1};
	md.meshMat = {0, 0, 1};
	md.hasMat = 1;
	md.nMat = 2;
	md.texName = {"skin_tex", ""};
	md.meshTris = {
		{{{SkinCorner(0, 0, 1), SkinCorner(1, 1, 1), SkinCorner(2, 2, 1)}},
			{{SkinCorner(1, 1, 1), SkinCorner(3, 3, 1), SkinCorner(2, 2, 1)}}},
		{{{SkinCorner(0, 0, 1), SkinCorner(1, 1, 1), SkinCorner(3, 3, 1)}}},
		{{{SkinCorner(0, -1, 3), SkinCorner(1, -1, 3), SkinCorner(2, -1, 2)}}},
	};
	ResetBones(md, model.nodelist);
	return model;
}

// Three frames: the root still, the arm turning about Z from 0 to 90 degrees
// at its bind place (and scaled, which is never exported); the hand has no
// record, so its tracks count as 0.
inline AnimState SkeletalAnimation()
{
	AnimState anim;
	anim.type = 1;
	anim.nFrames = 3;
	anim.bones.resize(2);
	for (BoneAnim& bone : anim.bones)
		for (std::size_t i = 0; i < 3; ++i)
			bone.scaleKeys[i] = bone.rotKeys[i] = bone.transKeys[i] = {{0, 0}};
	anim.bones[1].rotKeys[2] = {{0, 0}, {2, 90}};
	for (std::size_t i = 0; i < 3; ++i)
		anim.bones[1].transKeys[i] = {{0, float(i + 1)}};
	anim.bones[1].scaleKeys[0] = {{0, 5}};
	return anim;
}

} // namespace zentarra::test
