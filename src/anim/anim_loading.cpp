#include "anim/anim_loading.h"

#include "anim/chr0.h"
#include "anim/shp0.h"
#include "anim/skinning.h"

#include <algorithm>
#include <utility>

namespace zentarra {

namespace {

std::string HeldConstantWarning(const AnimReadResult& read)
{
	if (read.constantTracks == 0)
		return {};
	return "Some tracks could not be read and were held constant: " + read.message;
}

// Nine one-key tracks holding the node's bind transform; a bone whose node is
// not in the table stays at the neutral transform.
void BindTracks(BoneAnim& bone, const Node* node)
{
	const Node neutral;
	const Node& from = node ? *node : neutral;
	for (int axis = 0; axis < 3; ++axis) {
		bone.scaleKeys[axis] = {Key{0.0f, from.scale[axis]}};
		bone.rotKeys[axis] = {Key{0.0f, from.rot[axis]}};
		bone.transKeys[axis] = {Key{0.0f, from.trans[axis]}};
	}
}

} // namespace

AnimLoadResult LoadAnimation(LoadedModel& model, ByteView& archiveFile, std::size_t offset,
	std::string_view entryName, int add)
{
	if (model.MD.nMesh == 0)
		return {false, std::string(kNoModelLoaded)};

	// read into a copy, so a damaged file changes nothing
	AnimState next = model.anim;
	const bool replace = add == 0 && (next.type & 1);
	const bool dropMorph = replace && (next.type & 2);
	if (replace) {
		FreeAnim(next, model.nBones);
		next.type = 0;
	}
	const AnimReadResult read = ReadAnimation(archiveFile, offset, next, model.nBones, model.names.bones);
	if (!read.ok)
		return {false, "Error: damaged bone animation: " + read.message};

	for (std::size_t b = 0; b < next.bones.size(); ++b) {
		BoneAnim& bone = next.bones[b];
		if (bone.loaded)
			continue;
		const int node = b < model.bonemap.size() ? model.bonemap[b] : -1;
		const bool inTable = node >= 0 && std::size_t(node) < model.nodelist.size();
		BindTracks(bone, inTable ? &model.nodelist[std::size_t(node)] : nullptr);
		bone.nFrames = read.frames;
		bone.loaded = 1;
	}
	next.type |= 1;
	next.frame = 0;
	for (BoneAnim& bone : next.bones)
		bone.frame = 0;
	next.playing = 0;

	model.anim = std::move(next);
	model.animname = std::string(entryName);
	if (dropMorph) {
		// the vertex animation is no longer applied: without its records the
		// corners would stay in their last morphed shape
		FreeVAnim(model.anim, model.MD);
		ResetVertices(model.MD, model.nodelist, model.anim);
	}
	RecalculateModel(model.MD, model.nodelist, model.anim);
	return {true, HeldConstantWarning(read)};
}

AnimLoadResult LoadVertexAnimation(LoadedModel& model, ByteView& archiveFile, std::size_t offset)
{
	if (model.MD.nMesh == 0)
		return {false, std::string(kNoModelLoaded)};

	AnimState read;
	const AnimReadResult result = ReadVertexAnimation(archiveFile, offset, read, model.MD.nVtx,
		model.names.positions, model.MD.nNrm, model.names.normals);
	if (!result.ok)
		return {false, "Error: damaged vertex animation: " + result.message};

	AnimState& anim = model.anim;
	if (anim.type & 2)
		FreeVAnim(anim, model.MD);
	anim.vanim = std::move(read.vanim);
	anim.nFrames = read.nFrames;
	model.MD.morph.assign(anim.vanim.size(), {});
	for (std::size_t i = 0; i < anim.vanim.size(); ++i)
		model.MD.morph[i].assign(std::size_t(std::max(anim.vanim[i].nTargets, 0)), 0.0f);

	ResetVertices(model.MD, model.nodelist, anim); // undoes a previous morph
	anim.type |= 2;
	anim.frame = 0;
	anim.playing = 0;
	RecalculateModel(model.MD, model.nodelist, anim);
	return {true, {}};
}

} // namespace zentarra
