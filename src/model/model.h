// The loaded model: geometry as read from an MDL0 sub-file, its skeleton, and
// the animation state that moves it.
#pragma once

#include "anim/math3d.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zentarra {

// One corner of a triangle (22 words).
struct Vertex {
	float pos[3] = {0, 0, 0};   // bind position from the position array
	std::int32_t posIndex = 0;
	float nrm[3] = {0, 0, 0};   // 0,0,0 when the mesh has no normals
	std::int32_t nrmIndex = -2; // -2 when the mesh has no normals
	float color[4] = {1, 1, 1, 1};
	float uv[2] = {0, 0};       // channel 0, after the material's scale
	std::int32_t uvIndex = -1;  // -1 when channel 0 is absent
	std::int32_t node = 0;      // index into nodelist
	float posedPos[3] = {0, 0, 0};
	float posedNrm[3] = {0, 0, 0};
};

// Corners in drawing and export order: the reverse of the display list's.
struct Triangle {
	Vertex v[3];
};

// A mesh's array bindings. The array indices are 16-bit values from the file:
// a binding the mesh does not use reads as 65535.
struct MeshInfo {
	int vtxArray = 0xFFFF;
	int nrmArray = 0xFFFF;
	int clrArray = 0xFFFF; // colour channel 0
	int uvArray[8] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
	int node = -1;         // the node moving the whole mesh, -1 when each vertex names its own
};

// A mesh's vertex descriptor: index width in bytes of each attribute in the
// display list's vertices (0 = absent), and the count of one-byte matrix
// indices in front of them.
struct NB {
	int posSize = 0;
	int nrmSize = 0;
	int clrSize = 0;
	int texSize[8] = {0, 0, 0, 0, 0, 0, 0, 0};
	int mtxCount = 0;
};

using Vec2 = std::array<float, 2>;
using Vec3 = std::array<float, 3>;
using Vec4 = std::array<float, 4>;

struct BRMDL {
	int nVtx = 0; // position arrays
	int nNrm = 0; // normal arrays
	int nClr = 0; // colour arrays
	int nUV = 0;  // texture-coordinate arrays
	int nMesh = 0; // greater than 0 exactly while a model is loaded
	std::vector<int> vtxCount, nrmCount, clrCount, uvCount; // entries per array
	std::vector<int> meshVisible; // 1 = shown and exported
	std::vector<int> meshCull;    // cull byte of the mesh's material, 0 to 3
	std::vector<int> matMirror;   // per material: bit 0 mirrored along S, bit 1 along T
	std::vector<std::vector<Vec3>> vtx;
	std::vector<std::vector<Vec3>> nrm;
	std::vector<std::vector<Vec4>> clr; // r, g, b, a in 0..1
	std::vector<std::vector<Vec2>> uv;
	std::vector<MeshInfo> meshInfo;
	std::vector<std::vector<Triangle>> meshTris; // per mesh, in display-list order
	std::vector<std::string> texName; // per material, "" for none
	std::vector<std::string> palName; // per material, "" for none
	std::vector<int> meshMat;         // material of each mesh; 0 when no draw list names it
	int hasMat = 0;
	int nMat = 0;
	std::vector<std::vector<float>> morph; // per vertex-animation entry, its targets' weights
};

// The four name tables of a model.
struct ModelNames {
	std::vector<std::string> positions; // position arrays
	std::vector<std::string> normals;   // normal arrays
	std::vector<std::string> bones;
	std::vector<std::string> meshes;
};

// A bone's transform: scale, rotation about X, Y, Z in degrees, translation.
struct Transfo {
	float scale[3] = {1, 1, 1};
	float rot[3] = {0, 0, 0};
	float trans[3] = {0, 0, 0};
};

// A bone node, or a weighted node blending several bone nodes.
struct Node {
	int nWeights = 0; // 0 for a bone node
	int parent = -1;  // node index, -1 for a root
	int bone = -1;    // bone index of a bone node
	float scale[3] = {1, 1, 1}; // bind transform, never changed after loading
	float rot[3] = {0, 0, 0};
	float trans[3] = {0, 0, 0};
	float curRot[3] = {0, 0, 0}; // current rotation in degrees
	Matrix34 matrix = kIdentity34;      // bone: local matrix; weighted: blended skinning matrix
	Matrix34 finalMatrix = kIdentity34; // bone: model space; weighted: copy of matrix
	Matrix34 baseMatrix = kIdentity34;  // inverse bind-pose model-space matrix
	std::vector<int> wNode;    // weighted node: the blended nodes
	std::vector<float> weight; // and their weights, as stored
};

// One bone's animation tracks: scale, rotation (degrees) and translation on X, Y, Z.
struct BoneAnim {
	int loaded = 0;
	int nFrames = 0;
	float frame = 0; // this bone's own frame, used when several animations are mixed
	std::vector<Key> scaleKeys[3];
	std::vector<Key> rotKeys[3];
	std::vector<Key> transKeys[3];
};

// One vertex-animation entry: a base array and its morph targets.
struct VAnim {
	std::uint32_t shpFlags = 0;
	int vtxArray = -1;
	int nrmArray = -1;
	int nTargets = 0;
	std::vector<int> vtxTarget; // per target, position array or -1
	std::vector<int> nrmTarget; // per target, normal array or -1
	std::vector<std::vector<Key>> weightKeys; // per target; nKeys is its size
};

// The playback record shared by skinning, playback, posing and the exporters.
struct AnimState {
	std::uint32_t type = 0; // bit 0 bone animation loaded, bit 1 vertex animation loaded
	int nFrames = 0;        // -1 when animations are mixed: each bone keeps its own frame
	std::vector<BoneAnim> bones; // indexed by bone
	std::vector<VAnim> vanim;
	float frame = -1.0f; // -1 = stopped
	int playing = 0;
	int speed = 0;
	int rotOnly = 0;
	int defaultSpeed = 0;
};

// The model on display, with its skeleton and animations.
struct LoadedModel {
	BRMDL MD;
	ModelNames names;
	int nBones = 0;
	std::vector<int> bonemap; // node index of each bone
	int nNodes = 0;
	std::vector<Node> nodelist;
	AnimState anim;
	std::string modelname; // the model entry's name
	std::string animname;  // entry name of the last bone animation loaded
	int mref = -1;         // archive id of the model's item: texture lookups start there
};

} // namespace zentarra
