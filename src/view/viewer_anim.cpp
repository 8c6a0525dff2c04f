// The viewer's animation side: loading CHR0 and SHP0 entries from the files
// panel, the Animation menu, the Animation Info window, and the hand posing
// of the Rotate Bone and Morph Target dialogs.
#include "view/viewer.h"

#include "anim/anim_loading.h"
#include "anim/pose.h"
#include "archive/containers.h"
#include "base/file_io.h"
#include "view/input.h"

namespace zentarra {

Refresh Viewer::AnimationCommand(int id)
{
	switch (id) {
	case kCmdAnimInfo:
		if (state_.animInfoOpen)
			return kRefreshNone;
		state_.animInfoOpen = true;
		return kAnimInfo;
	case kCmdExportAnimMD5:
		return ExportAnimation(2);
	case kCmdExportAnimPSA:
		return ExportAnimation(3);
	case kCmdExportMD5:
		return ExportModel(2);
	case kCmdExportPSK:
		return ExportModel(3);
	case kCmdExportOBJ:
		return ExportModel(4);
	case kCmdExportGLTF:
		return ExportModelToGLTF();
	case kCmdSavePose:
		return SavePose();
	case kCmdLoadPose:
		return LoadPose();
	case kCmdExportAll:
		if (items_.items().empty()) {
			Message(kNoFileOpened, MessageIcon::Warning, MessageOwner::ActiveWindow);
			return kRefreshNone;
		}
		return kExportAllDialog;
	case kCmdLoadAndPlayAnim:
	case kCmdLoadAnim:
	case kCmdAddAnim: {
		Refresh refresh = kRefreshNone;
		LoadAnimationItem(filesMenuItem_, id == kCmdAddAnim ? 1 : 0, refresh);
		// "Load and Play" plays whatever the load gave
		if (id == kCmdLoadAndPlayAnim && state_.model.anim.type != 0)
			state_.model.anim.playing = 1;
		return refresh | SetView(state_, kModelView) | kAnimInfo;
	}
	case kCmdLoadAndPlayVertexAnim:
	case kCmdLoadVertexAnim: {
		Refresh refresh = kRefreshNone;
		LoadVertexAnimationItem(filesMenuItem_, refresh);
		if (id == kCmdLoadAndPlayVertexAnim && state_.model.anim.type != 0)
			state_.model.anim.playing = 1;
		return refresh | SetView(state_, kModelView) | kAnimInfo;
	}
	case kCmdPoseBone:
		if (NodeClass(modelMenuNode_) != kBoneClass)
			return kRefreshNone;
		return OpenBoneDialog(NodeIndex(modelMenuNode_), false);
	case kCmdMorph:
		return OpenMorphDialog(modelMenuNode_);
	default:
		break;
	}
	if (id < kCmdPlay || id > kCmdUnloadAll)
		return kRefreshNone;
	const Refresh refresh = FromAnimRefresh(state_, RunAnimCommand(state_.model, AnimCommand(id)));
	return refresh | RefillStaleModelTree();
}

Refresh Viewer::RefillStaleModelTree()
{
	if (!state_.modelPanelOpen)
		return kRefreshNone;
	bool listed = false;
	for (const ModelTreeNode& node : modelTree_)
		listed = listed || node.param == kVertexAnimNode;
	// a vertex animation unloaded, or dropped by a replacing bone animation:
	// its targets leave the panel
	if (listed == ((state_.model.anim.type & 2) != 0))
		return kRefreshNone;
	modelTree_ = FillModelTree(state_.model);
	return kModelPanel;
}

// --- loading ---

std::optional<ItemRecord> Viewer::AnimationEntry(int itemId, ItemKind kind, std::optional<FileBytes>& file)
{
	const ItemRecord* found = items_.GetItem(itemId);
	if (!found || found->kind != kind)
		return std::nullopt;
	if (state_.model.MD.nMesh == 0) {
		Message(kNoModelLoaded, MessageIcon::Warning);
		return std::nullopt;
	}
	const ItemRecord item = *found;
	file = ReadEntryFile(item);
	if (!file)
		return std::nullopt;
	return item;
}

bool Viewer::ReportAnimLoad(const AnimLoadResult& result, Refresh& refresh)
{
	Title(0);
	refresh |= kTitle;
	if (!result.message.empty())
		Message(result.message, MessageIcon::Warning);
	return result.ok;
}

bool Viewer::LoadAnimationItem(int itemId, int add, Refresh& refresh)
{
	std::optional<FileBytes> file;
	const std::optional<ItemRecord> item = AnimationEntry(itemId, ItemKind::CHR0, file);
	if (!item)
		return false;
	Title(1);
	ByteView view(file->bytes);
	if (!ReportAnimLoad(LoadAnimation(state_.model, view, item->offset, item->name, add), refresh))
		return false;
	refresh |= kMenus | kAnimInfo | kRedraw | kBoneDialog | RefillStaleModelTree();
	return true;
}

bool Viewer::LoadVertexAnimationItem(int itemId, Refresh& refresh)
{
	std::optional<FileBytes> file;
	const std::optional<ItemRecord> item = AnimationEntry(itemId, ItemKind::SHP0, file);
	if (!item)
		return false;
	Title(1);
	ByteView view(file->bytes);
	if (!ReportAnimLoad(LoadVertexAnimation(state_.model, view, item->offset), refresh))
		return false;
	vanimName_ = item->name;
	// its tree lists the targets: it is rebuilt when opened again
	if (state_.modelPanelOpen) {
		if (boneDialog_.ownedByModelPanel)
			refresh |= CloseBoneDialog();
		refresh |= CloseModelPanel();
	}
	refresh |= kMenus | kAnimInfo | kRedraw;
	return true;
}

Refresh Viewer::ActivateAnimationItem(int itemId)
{
	const ItemRecord* item = items_.GetItem(itemId);
	if (!item)
		return kRefreshNone;
	Refresh refresh = kRefreshNone;
	const bool loaded = item->kind == ItemKind::CHR0 ? LoadAnimationItem(itemId, 0, refresh)
													 : LoadVertexAnimationItem(itemId, refresh);
	if (!loaded)
		return refresh;
	state_.model.anim.playing = 1;
	return refresh | SetView(state_, kModelView) | kAnimInfo;
}

Refresh Viewer::PlayAnimationEntry(std::string_view name)
{
	int item = FindEntry(name, ItemKind::CHR0);
	if (item < 0)
		item = FindEntry(name, ItemKind::SHP0);
	if (item < 0) {
		Message("Error: the archive has no animation named \"" + std::string(name) + "\"", MessageIcon::Warning);
		return kRefreshNone;
	}
	return ActivateAnimationItem(item);
}

Refresh Viewer::AnimInfoClosed()
{
	state_.animInfoOpen = false;
	return kAnimInfo | kRedraw;
}

// --- Rotate Bone ---

Refresh Viewer::OpenBoneDialog(int bone, bool ownedByModelPanel)
{
	if (bone < 0 || bone >= state_.model.nBones)
		return kRefreshNone;
	state_.sbone = bone;
	boneDialog_.open = true;
	boneDialog_.bone = bone;
	boneDialog_.ownedByModelPanel = ownedByModelPanel;
	++boneDialog_.generation;
	// the next playback step would overwrite the edit
	const bool wasPlaying = PauseForPoseEdit(state_.model.anim);
	return kBoneDialog | kRedraw | (wasPlaying ? kMenus | kAnimInfo : kRefreshNone);
}

Refresh Viewer::CloseBoneDialog()
{
	if (!boneDialog_.open)
		return kRefreshNone;
	boneDialog_.open = false;
	boneDialog_.bone = -1;
	return kBoneDialog;
}

Refresh Viewer::BoneDialogClosed()
{
	return CloseBoneDialog() | kRedraw;
}

std::string Viewer::BoneDialogTitle() const
{
	const std::vector<std::string>& names = state_.model.names.bones;
	const int bone = boneDialog_.bone;
	return bone >= 0 && std::size_t(bone) < names.size() ? names[std::size_t(bone)] : std::string();
}

std::array<int, 3> Viewer::BoneDialogPositions() const
{
	return BoneTrackPositions(state_.model, boneDialog_.bone);
}

Refresh Viewer::BoneSlidersMoved(const std::array<int, 3>& positions)
{
	if (!boneDialog_.open)
		return kRefreshNone;
	const PoseEditResult result = RotateBone(state_.model, boneDialog_.bone, positions);
	if (!result.applied)
		return kRefreshNone;
	return kRedraw | (result.wasPlaying ? kMenus | kAnimInfo : kRefreshNone);
}

Refresh Viewer::BoneDialogReset()
{
	if (!boneDialog_.open)
		return kRefreshNone;
	const bool wasPlaying = PauseForPoseEdit(state_.model.anim);
	ResetBoneRotation(state_.model, boneDialog_.bone);
	return kRedraw | kBoneDialog | (wasPlaying ? kMenus | kAnimInfo : kRefreshNone);
}

// --- Morph Target ---

Refresh Viewer::OpenMorphDialog(std::uint32_t param)
{
	if (NodeClass(param) != kMorphTargetClass)
		return kRefreshNone;
	morphItem_ = param;
	return kMorphDialog;
}

int Viewer::MorphDialogOpened()
{
	PauseForPoseEdit(state_.model.anim);
	return MorphTrackPosition(state_.model, DecodeMorphItem(morphItem_));
}

Refresh Viewer::MorphSliderMoved(int position)
{
	const PoseEditResult result = SetMorphWeight(state_.model, DecodeMorphItem(morphItem_), position);
	return result.applied ? kRedraw : kRefreshNone;
}

int Viewer::MorphDialogReset(Refresh& refresh)
{
	const int position = ResetMorphWeight(state_.model, DecodeMorphItem(morphItem_));
	refresh |= kRedraw;
	return position;
}

} // namespace zentarra
