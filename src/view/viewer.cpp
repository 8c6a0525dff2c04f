#include "view/viewer.h"

#include "anim/playback.h"
#include "archive/containers.h"
#include "anim/skinning.h"
#include "base/file_io.h"
#include "base/text.h"
#include "model/mdl0_reader.h"
#include "view/input.h"
#include "view/settings_file.h"

namespace zentarra {

std::string WindowTitle(int state)
{
	std::string title = kProgramTitle;
	if (state == 1)
		title += "  [Loading...]";
	else if (state == 2)
		title += "  [Writing...]";
	return title;
}

std::string AboutText()
{
	return std::string(kProgramVersion) +
		"\nA viewer and converter for BRRES archives: models, textures, palettes and animations of Wii games."
		"\n\nReleased 7 December 2026";
}

Viewer::Viewer(ViewerFront& front) : front_(front)
{
	SetDefaultConfig(state_.MV, state_.TV, state_.disp, state_.model.anim);
	state_.model.anim.speed = state_.model.anim.defaultSpeed;
}

// --- start and end ---

void Viewer::ReadSettings(const std::filesystem::path& path)
{
	AnimState& anim = state_.model.anim;
	ReadConfigFile(path, state_.MV, state_.TV, state_.disp, anim);
	// a fresh start
	state_.disp.view = kModelView;
	state_.TD.loaded = state_.TD.palLoaded = 0;
	state_.MV.radius = 10.0f;
	state_.TV.zoom = 1.0f;
	state_.TV.panX = state_.TV.panY = 0;
	ResetModelView(state_.MV);
	state_.mouse = {};
	anim.type = 0;
	anim.frame = -1.0f;
	anim.nFrames = 0;
	anim.playing = 0;
	anim.speed = anim.defaultSpeed;
	state_.tx = {};
	state_.sbone = state_.smesh = -1;
}

bool Viewer::WriteSettings(const std::filesystem::path& path) const
{
	return WriteConfigFile(path, state_.MV, state_.TV, state_.disp, state_.model.anim);
}

Refresh Viewer::OpenCommandLine(std::string_view commandLine)
{
	const std::string path = ArchivePathFromCommandLine(commandLine);
	if (path.empty())
		return kMenus;
	OpenResult result = OpenArchiveFile(path, items_, &files_, treeOptions());
	if (result.message)
		Message(result.message->text, result.message->icon);
	return kMenus | kFilesTree;
}

int Viewer::FindEntry(std::string_view name, ItemKind kind) const
{
	std::string folder;
	for (const ItemRecord& item : items_.items()) {
		if (item.kind == ItemKind::Folder)
			folder = item.name;
		else if (item.kind == kind && (item.name == name || folder + "/" + item.name == name))
			return item.id;
	}
	return -1;
}

// --- commands ---

Refresh Viewer::Command(int id)
{
	ModelView& MV = state_.MV;
	switch (id) {
	case kCmdOpenFiles:
	case kCmdPanelOpenFiles:
		return LoadFile();
	case kCmdShowHideFiles:
		state_.filesPanelVisible = !state_.filesPanelVisible;
		return kFilesPanel;
	case kCmdExpandAll:
	case kCmdCollapseAll:
		files_.ExpandCollapseAll(id == kCmdExpandAll);
		return kFilesTree;
	case kCmdAutoExpand:
		state_.disp.autoExpand = state_.disp.autoExpand ? 0 : 1;
		return kMenus;
	case kCmdCloseAllFiles:
		return CloseAllFiles();
	case kCmdQuit:
		return kQuit;
	case kCmdFaces:
		return ToggleFlagInModelView(kFaces);
	case kCmdAxes:
		return ToggleFlagInModelView(kAxes);
	case kCmdTextures:
		return ToggleFlagInModelView(kTextures);
	case kCmdColors:
		return ToggleFlagInModelView(kColors);
	case kCmdLighting:
		return ToggleFlagInModelView(kLighting);
	case kCmdFixedLight:
		return ToggleFlagInModelView(kFixedLight);
	case kCmdAlphaTesting:
		return ToggleFlagInModelView(kAlphaTest);
	case kCmdAutoExportTextures:
		return ToggleFlagInModelView(kAutoExportTextures);
	case kCmdSkipHiddenMeshes:
		return ToggleFlagInModelView(kSkipHiddenMeshes);
	case kCmdCullAuto:
		return SetCulling(kCullAuto);
	case kCmdCullOn:
		return SetCulling(kCullOn);
	case kCmdCullOff:
		return SetCulling(0);
	case kCmdInitialPosition:
		MV.offX = MV.offY = MV.offZ = 0.0f;
		return SetView(state_, kModelView);
	case kCmdCenterModel:
		CenterModel(MV, state_.model.MD);
		return SetView(state_, kModelView);
	case kCmdResetModelView:
		ResetModelView(MV);
		return SetView(state_, kModelView);
	case kCmdMore:
		return OpenModelPanel();
	case kCmdChannelNormal:
		return SetChannel(0);
	case kCmdChannelColors:
		return SetChannel(1);
	case kCmdChannelAlpha:
		return SetChannel(2);
	case kCmdReloadTextures:
		return AutoLoadTex() | SetView(state_, kModelView);
	case kCmdExportPNG:
		return ExportShownTexture(0);
	case kCmdExportTGA:
		return ExportShownTexture(1);
	case kCmdShowTexture:
		return LoadFlatTex(filesMenuItem_);
	case kCmdExportTexturePNG:
		return ExportTextureItem(filesMenuItem_, 0);
	case kCmdExportTextureTGA:
		return ExportTextureItem(filesMenuItem_, 1);
	case kCmdTextureOnModel:
		return LoadTexOnModel(filesMenuItem_);
	case kCmdShowPalette:
		return LoadPalette(filesMenuItem_);
	case kCmdResetTextureView: {
		ResetTextureView();
		return state_.disp.view == kModelView ? SetView(state_, kTextureView) : kRedraw;
	}
	case kCmdViewModel:
		return SetView(state_, kModelView);
	case kCmdViewTexture:
		return SetView(state_, kTextureView);
	case kCmdViewPalette:
		return SetView(state_, kPaletteView);
	case kCmdFullPath:
		return ChangePathDisplay();
	case kCmdAbout:
		front_.ShowMessage({std::string(kAboutTitle), AboutText(), MessageIcon::Information, MessageOwner::MainWindow});
		return kRefreshNone;
	case kCmdCloseFile:
		return CloseFile(filesMenuItem_);
	case kCmdLoadModel:
		return LoadModel(filesMenuItem_);
	case kCmdShowMeshOnly:
	case kCmdHideMesh:
	case kCmdShowAllMeshes:
		return SetMeshVisibility(id, NodeIndex(modelMenuNode_));
	default:
		break;
	}
	return AnimationCommand(id);
}

Refresh Viewer::ToggleFlagInModelView(std::uint32_t bit)
{
	state_.MV.flags ^= bit;
	return SetView(state_, kModelView);
}

Refresh Viewer::SetCulling(std::uint32_t bits)
{
	state_.MV.flags = (state_.MV.flags & ~std::uint32_t(kCullMask)) | bits;
	return SetView(state_, kModelView);
}

Refresh Viewer::SetChannel(int channel)
{
	state_.TV.channel = channel;
	if (state_.disp.view == kModelView)
		return SetView(state_, kTextureView);
	return kMenus | kRedraw;
}

// --- files ---

TreeOptions Viewer::treeOptions() const
{
	return {state_.disp.fullPath != 0, state_.disp.autoExpand != 0};
}

Refresh Viewer::LoadFile()
{
	state_.mouse.dragging = false;
	OpenFileRequest request;
	request.title = kOpenFilesTitle;
	request.filters = {{"BRRES files (*.br*)", "*.br*"}, {"Wii archives (*.szs *.arc *.u8)", "*.szs *.arc *.u8"},
		{"All files (*.*)", "*.*"}};
	request.selectedFilter = 2;
	request.multiple = true;
	const std::vector<std::string> paths = front_.AskOpenFiles(request);
	if (paths.empty())
		return kRefreshNone;
	return OpenFiles(paths);
}

Refresh Viewer::OpenFiles(const std::vector<std::string>& paths)
{
	// the first move afterwards only records the position
	state_.mouse.seen = false;
	int failures = 0;
	for (const std::string& path : paths) {
		OpenResult result = OpenArchiveFile(path, items_, &files_, treeOptions());
		if (result.status != OpenStatus::Opened)
			++failures;
		else if (result.message)
			Message(result.message->text, result.message->icon); // listed, but damaged
	}
	// a single file that failed leaves the panel as it was
	if (paths.size() > 1 || failures == 0)
		state_.filesPanelVisible = true;
	if (std::optional<UserMessage> summary = MessageForOpenedFiles(failures, int(paths.size())))
		Message(summary->text, summary->icon);
	return kFilesTree | kFilesPanel;
}

Refresh Viewer::CloseAllFiles()
{
	items_.ResetIds();
	files_.Clear();
	state_.filesPanelVisible = true;
	return kFilesTree | kFilesPanel;
}

Refresh Viewer::CloseFile(int archiveId)
{
	const ItemRecord* item = items_.GetItem(archiveId);
	if (!item || item->kind != ItemKind::Archive)
		return kRefreshNone;
	items_.DeleteItemsFromFile(archiveId);
	files_.RemoveSubtree(archiveId);
	return kFilesTree;
}

Refresh Viewer::ChangePathDisplay()
{
	state_.disp.fullPath = state_.disp.fullPath ? 0 : 1;
	files_.ChangePathDisplay(items_, state_.disp.fullPath != 0);
	state_.filesPanelVisible = true;
	return kFilesTree | kFilesPanel | kMenus;
}

PopupMenu Viewer::FilesContextMenu(int itemId)
{
	const ItemRecord* item = items_.GetItem(itemId);
	filesMenuItem_ = item ? itemId : -1;
	if (!item)
		return FilesPanelMenu(nullptr);
	return FilesPanelMenu(&item->kind);
}

Refresh Viewer::ActivateFileItem(int itemId)
{
	const ItemRecord* item = items_.GetItem(itemId);
	if (!item)
		return kRefreshNone;
	switch (item->kind) {
	case ItemKind::MDL0:
		return LoadModel(itemId);
	case ItemKind::TEX0:
		return LoadFlatTex(itemId);
	case ItemKind::PLT0:
		return LoadPalette(itemId);
	case ItemKind::CHR0:
	case ItemKind::SHP0:
		return ActivateAnimationItem(itemId);
	default:
		return kRefreshNone;
	}
}

Refresh Viewer::FilesPanelClosed()
{
	state_.filesPanelVisible = false;
	return kFilesPanel | kFocusMain;
}

void Viewer::SetFileNodeExpanded(int id, bool expanded)
{
	files_.SetExpanded(id, expanded);
}

// --- the model ---

Refresh Viewer::FreeModel()
{
	Refresh refresh = CloseBoneDialog() | kMenus | kAnimInfo;
	if (state_.modelPanelOpen)
		refresh |= CloseModelPanel();
	zentarra::FreeModel(state_.model);
	state_.tx.loaded = 0;
	state_.tx.images.clear();
	state_.tx.meshTex.clear();
	++state_.tx.generation;
	return refresh | kTextureImages;
}

Refresh Viewer::LoadModel(int itemId)
{
	const ItemRecord* found = items_.GetItem(itemId);
	if (!found || found->kind != ItemKind::MDL0)
		return kRefreshNone;
	const ItemRecord item = *found;
	const std::optional<FileBytes> file = ReadEntryFile(item);
	if (!file)
		return kRefreshNone;
	Title(1);
	Refresh refresh = kMenus | kRedraw | kAnimInfo | kTitle;
	if (state_.model.MD.nMesh > 0)
		refresh |= FreeModel();
	ByteView view(file->bytes);
	const ModelReadResult result = ReadModel(view, item.offset, item.name, state_.model);
	if (!result.ok) {
		Message(result.message, MessageIcon::Warning);
		state_.modelMenuEnabled = false;
	} else {
		if (result.damaged)
			Message("Warning: the model is damaged and was read only in part: " + result.message,
				MessageIcon::Warning);
		state_.model.mref = item.archive;
		state_.modelMenuEnabled = true;
		refresh |= AutoLoadTex();
		state_.MV.radius = CalcRadMax(state_.model.MD);
	}
	ResetModelView(state_.MV);
	refresh |= SetView(state_, kModelView);
	Title(0);
	return refresh;
}

// --- the view's input ---

Refresh Viewer::KeyDown(InputKey key, bool ctrl)
{
	return CheckKeys(state_, key, ctrl);
}

Refresh Viewer::KeyUp(InputKey key)
{
	if (key == InputKey::Ctrl)
		state_.keys.ctrl = false;
	if (key == InputKey::Escape)
		state_.keys.escape = false;
	return kRefreshNone;
}

Refresh Viewer::MouseDown()
{
	state_.mouse.dragging = true;
	return kRefreshNone;
}

Refresh Viewer::MouseMove(unsigned buttons, int x, int y)
{
	return CheckMouse(state_, buttons, x, y);
}

Refresh Viewer::MouseWheel(int delta)
{
	return CheckMouseWheel(state_, delta);
}

Refresh Viewer::FrameDrawn()
{
	return FromAnimRefresh(state_, Play(state_.model));
}

Refresh Viewer::WindowMoved(ViewerWindow window, const WindowRect& rect)
{
	switch (window) {
	case ViewerWindow::Main:
		state_.disp.main = rect;
		return kRefreshNone;
	case ViewerWindow::Files:
		state_.disp.files = rect;
		break;
	case ViewerWindow::Model:
		state_.disp.model = rect;
		break;
	}
	return kRedraw;
}

// --- model panel ---

Refresh Viewer::OpenModelPanel()
{
	if (state_.model.MD.nMesh == 0) {
		Message(kNoModelLoadedPanel, MessageIcon::Warning, MessageOwner::ActiveWindow);
		return kRefreshNone;
	}
	if (state_.modelPanelOpen)
		return kRefreshNone;
	state_.modelPanelOpen = true;
	modelTree_ = FillModelTree(state_.model);
	state_.sbone = state_.smesh = -1;
	return kModelPanel | kRedraw;
}

Refresh Viewer::CloseModelPanel()
{
	state_.modelPanelOpen = false;
	modelTree_.clear();
	state_.sbone = state_.smesh = -1;
	return kModelPanel | kRedraw;
}

Refresh Viewer::ModelPanelClosed()
{
	return CloseBoneDialog() | CloseModelPanel() | kFocusMain;
}

Refresh Viewer::SelectModelNode(std::uint32_t param)
{
	state_.sbone = state_.smesh = -1;
	if (NodeClass(param) == kBoneClass)
		state_.sbone = NodeIndex(param);
	else if (NodeClass(param) == kMeshClass)
		state_.smesh = NodeIndex(param);
	return kRedraw;
}

Refresh Viewer::ActivateModelNode(std::uint32_t param)
{
	if (NodeClass(param) == kMeshClass)
		return SetMeshVisibility(kCmdShowMeshOnly, NodeIndex(param));
	if (NodeClass(param) == kBoneClass)
		return OpenBoneDialog(NodeIndex(param), true);
	if (NodeClass(param) == kMorphTargetClass)
		return OpenMorphDialog(param);
	return kRefreshNone;
}

PopupMenu Viewer::ModelContextMenu(std::uint32_t param)
{
	modelMenuNode_ = param;
	const int mesh = NodeIndex(param);
	const std::vector<int>& visible = state_.model.MD.meshVisible;
	const bool hidden = NodeClass(param) == kMeshClass && std::size_t(mesh) < visible.size() &&
		visible[std::size_t(mesh)] == 0;
	return ModelPanelMenu(param, hidden);
}

Refresh Viewer::SetMeshVisibility(int command, int mesh)
{
	std::vector<int>& visible = state_.model.MD.meshVisible;
	const bool known = mesh >= 0 && std::size_t(mesh) < visible.size();
	switch (command) {
	case kCmdShowMeshOnly:
		if (!known)
			return kRefreshNone;
		for (std::size_t m = 0; m < visible.size(); ++m)
			visible[m] = int(m) == mesh ? 1 : 0;
		break;
	case kCmdHideMesh:
		if (!known)
			return kRefreshNone;
		visible[std::size_t(mesh)] = visible[std::size_t(mesh)] ? 0 : 1;
		break;
	default:
		std::fill(visible.begin(), visible.end(), 1);
		break;
	}
	const std::vector<std::string> names = SetMeshNames(state_.model);
	std::size_t next = 0;
	for (ModelTreeNode& node : modelTree_)
		if (NodeClass(node.param) == kMeshClass && next < names.size())
			node.text = names[next++];
	return kMeshNames | kRedraw;
}

// --- Background Color dialog ---

BackgroundDialogValues Viewer::BackgroundDialogOpened()
{
	return OpenBackgroundDialog(state_.disp);
}

BackgroundDialogValues Viewer::BackgroundSlidersMoved(const std::array<int, 3>& positions)
{
	return MoveBackgroundSliders(state_.disp, positions);
}

void Viewer::BackgroundDialogCancelled()
{
	CancelBackgroundDialog(state_.disp);
}

// --- helpers ---

std::optional<std::string> Viewer::GetSaveFile(std::string_view offeredName, std::string_view extension)
{
	state_.mouse.dragging = false;
	const std::string ext(extension);
	SaveFileRequest request;
	request.filters = {{ext + " files", "*." + ext}, {"All files (*.*)", "*.*"}};
	request.selectedFilter = 0;
	request.offeredName = offeredName;
	request.defaultExtension = ext;
	std::optional<std::string> chosen = front_.AskSaveFile(request);
	// Qt's dialog adds it itself; this covers fronts that do not
	if (chosen && std::filesystem::path(*chosen).extension().empty())
		*chosen += "." + ext;
	return chosen;
}

std::optional<FileBytes> Viewer::ReadEntryFile(const ItemRecord& item)
{
	FileBytes file = ReadArchiveFile(item.path);
	if (file.status != ReadStatus::Ok) {
		Message(kCantOpenEntryFile, MessageIcon::Warning);
		return std::nullopt;
	}
	return file;
}

void Viewer::Message(std::string_view text, MessageIcon icon, MessageOwner owner)
{
	front_.ShowMessage({"ERROR", std::string(text), icon, owner});
}

void Viewer::Title(int state)
{
	state_.titleState = state;
	front_.SetTitle(state);
}

} // namespace zentarra
