// The viewer's exports from the menus (the shown model, the loaded bone
// animation), the pose files, and the start and end of the batch export.
// Every file goes through a temporary name beside it and a rename.
#include "view/viewer.h"

#include "anim/pose.h"
#include "archive/archive_files.h"
#include "base/file_io.h"
#include "export/auto_export.h"
#include "export/gltf_sources.h"
#include "export/md5.h"
#include "export/obj.h"
#include "export/psk.h"
#include "view/input.h"

#include <span>

namespace zentarra {

namespace {

std::span<const std::uint8_t> Bytes(const std::string& text)
{
	return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// The folder of a chosen file with its separator, "" for the current one.
std::string FolderOf(const std::string& path)
{
	std::string folder = std::filesystem::path(path).parent_path().string();
	if (!folder.empty() && folder.back() != '/')
		folder += '/';
	return folder;
}

} // namespace

Refresh Viewer::ExportModel(int format)
{
	if (state_.model.MD.nMesh == 0)
		return kRefreshNone;
	// the view shows what is written: the posed vertices of the frame on screen
	Refresh refresh = SetView(state_, kModelView);
	front_.DrawNow();
	const bool skipHidden = (state_.MV.flags & kSkipHiddenMeshes) != 0;
	const char* extension = format == 2 ? "md5mesh" : format == 3 ? "psk" : "obj";
	const std::optional<std::string> chosen = GetSaveFile(state_.model.modelname, extension);
	if (!chosen)
		return refresh;
	const std::string& path = *chosen;

	Title(2);
	std::string error;
	if (format == 3) {
		const BinaryExport psk = ExportToPSK(state_.model, skipHidden);
		if (!psk.ok)
			error = psk.message;
		else if (!WriteFileAtomically(path, psk.bytes))
			error = kCantWriteFile;
	} else if (format == 2) {
		if (!WriteFileAtomically(path, Bytes(ExportToMD5(state_.model, skipHidden))))
			error = kCantWriteFile;
	} else {
		const std::string obj = ExportToOBJ(state_.model.MD, state_.model.names, state_.model.modelname, skipHidden);
		if (!WriteFileAtomically(path, Bytes(obj)))
			error = kCantWriteFile;
		else if (!WriteMTL(path, state_.model.MD))
			error = kCantWriteMtl;
	}
	if (error.empty() && (state_.MV.flags & kAutoExportTextures)) {
		ArchiveFiles files;
		for (const TextureExport& line :
			AutoExport(state_.model.MD, state_.model.mref, items_, files, FolderOf(path), 1))
			if (line.outcome == TextureExport::Outcome::Failed && error.empty())
				error = std::string(kCantWriteFile) + ": " + line.path;
	}
	Title(0);
	if (!error.empty())
		Message(error, MessageIcon::Warning);
	return refresh | kTitle;
}

Refresh Viewer::ExportModelToGLTF()
{
	if (state_.model.MD.nMesh == 0)
		return kRefreshNone;
	Refresh refresh = SetView(state_, kModelView);
	const std::optional<std::string> chosen = GetSaveFile(state_.model.modelname, "glb");
	if (!chosen)
		return refresh;
	Title(2);
	ArchiveFiles files;
	std::vector<std::string> warnings;
	const std::vector<GltfTexture> textures =
		DecodeGltfTextures(state_.model, state_.model.mref, items_, files, warnings);
	// what is loaded plays in the file: the bone animation and the morphs as two animations
	std::vector<GltfAnimation> animations;
	const AnimState& anim = state_.model.anim;
	if ((anim.type & 1) && anim.nFrames > 0) {
		GltfAnimation& bones = animations.emplace_back(GltfAnimation{state_.model.animname, anim});
		bones.anim.type = 1;
	}
	if (anim.type & 2) {
		GltfAnimation& morphs = animations.emplace_back(GltfAnimation{vanimName_, anim});
		morphs.anim.type = 2;
	}
	GltfOptions options;
	options.binary = true;
	const GltfExport exported = ExportToGLTF(state_.model, textures, animations, options);
	std::string error = exported.ok ? "" : exported.message;
	if (exported.ok && !WriteGltfFiles(*chosen, exported))
		error = kCantWriteFile;
	Title(0);
	if (!error.empty())
		Message(error, MessageIcon::Warning);
	return refresh | kTitle;
}

Refresh Viewer::ExportAnimation(int format)
{
	LoadedModel& model = state_.model;
	if (!(model.anim.type & 1))
		return kRefreshNone;
	Refresh refresh = SetView(state_, kModelView);
	front_.DrawNow();
	const std::optional<std::string> chosen = GetSaveFile(model.animname, format == 2 ? "md5anim" : "psa");
	if (!chosen)
		return refresh;

	Title(2);
	// written from the stopped state, the skeleton in its bind pose
	StopPlayback(model);
	for (BoneAnim& bone : model.anim.bones)
		bone.frame = -1.0f;
	refresh |= kMenus | kAnimInfo | kRedraw | kTitle;
	std::string error;
	if (format == 2) {
		const TextExport md5 = ExportAnimToMD5(model.anim, model, state_.MV.radius);
		if (!md5.ok)
			error = md5.message;
		else if (!WriteFileAtomically(*chosen, Bytes(md5.text)))
			error = kCantWriteFile;
	} else {
		const BinaryExport psa = ExportAnimToPSA(model.anim, model.nBones, model.names.bones, model.animname);
		if (!psa.ok)
			error = psa.message;
		else if (!WriteFileAtomically(*chosen, psa.bytes))
			error = kCantWriteFile;
	}
	Title(0);
	if (!error.empty())
		Message(error, MessageIcon::Warning);
	return refresh;
}

// --- pose files ---

Refresh Viewer::SavePose()
{
	if (state_.model.MD.nMesh == 0)
		return kRefreshNone;
	const std::optional<std::string> chosen = GetSaveFile("", "pos");
	if (!chosen)
		return kRefreshNone;
	if (!SavePoseFile(state_.model, *chosen))
		Message(kCantWriteFile, MessageIcon::Warning);
	return kRefreshNone;
}

Refresh Viewer::LoadPose()
{
	if (state_.model.MD.nMesh == 0)
		return kRefreshNone;
	state_.mouse.dragging = false;
	OpenFileRequest request;
	request.title = "Select a pose file to read";
	request.filters = {{"Pose files (*.pos)", "*.pos"}, {"All files (*.*)", "*.*"}};
	request.selectedFilter = 0;
	request.multiple = false;
	const std::vector<std::string> paths = front_.AskOpenFiles(request);
	if (paths.empty())
		return kRefreshNone;
	const PoseLoadResult result = LoadPoseFile(state_.model, paths.front());
	if (!result.ok) {
		Message(result.message, MessageIcon::Warning, MessageOwner::NoOwner);
		return kRefreshNone;
	}
	return kRedraw | kBoneDialog | (result.wasPlaying ? kMenus | kAnimInfo : kRefreshNone);
}

// --- the batch ---

Refresh Viewer::BeginExportAll(const ExportAllOptions& options)
{
	Refresh refresh = kTitle;
	if (options.models != 0 && state_.model.MD.nMesh > 0) {
		refresh |= FreeModel();
		state_.modelMenuEnabled = false;
		refresh |= kRedraw;
	}
	Title(2);
	return refresh;
}

Refresh Viewer::EndExportAll()
{
	Title(0);
	return kTitle | kMenus;
}

} // namespace zentarra
