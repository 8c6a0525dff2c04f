// The viewer's owner object: it holds the whole state (open archives, the
// files tree, the loaded model with its animations, the camera and view
// records, the selection, the panels' contents) and offers every command of
// the menus, panels and view as a function that changes the state and says
// what the front must refresh. Dialogs and message boxes go through the
// ViewerFront it is given. No Qt and no GL here: the shell translates window
// events into these calls, the renderer draws from state().
#pragma once

#include "anim/playback.h"
#include "archive/archive_files.h"
#include "archive/items.h"
#include "base/file_io.h"
#include "export/export_all.h"
#include "view/background_dialog.h"
#include "view/files_tree.h"
#include "view/front.h"
#include "view/menu.h"
#include "view/model_tree.h"
#include "view/view_state.h"

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zentarra {

struct AnimLoadResult;

enum class ViewerWindow { Main, Files, Model };

inline constexpr std::string_view kNoModelLoadedPanel = "Error: no model loaded";
inline constexpr std::string_view kNoFileOpened = "Error: no file opened";
inline constexpr std::string_view kOpenFilesTitle = "Select BRRES files to open";
inline constexpr std::string_view kAboutTitle = "About Zentarra";

// The About box's text: the version on the first line, the release date on the last.
std::string AboutText();

class Viewer {
public:
	explicit Viewer(ViewerFront& front);

	const ViewerState& state() const { return state_; }
	// For start-up options and tests that set up a state directly.
	ViewerState& editState() { return state_; }
	const OpenArchives& items() const { return items_; }
	const FilesTree& filesTree() const { return files_; }
	const std::vector<ModelTreeNode>& modelTree() const { return modelTree_; }
	MenuState menuState() const { return GetMenuState(state_); }

	// --- start and end ---
	// Reads the settings file, then resets the state for a fresh start.
	void ReadSettings(const std::filesystem::path& path);
	bool WriteSettings(const std::filesystem::path& path) const;
	// Opens the archive named on the command line (quotes removed), if any.
	Refresh OpenCommandLine(std::string_view commandLine);
	// The item id of the first entry of that kind named `name` (or
	// "folder/name"), or -1.
	int FindEntry(std::string_view name, ItemKind kind) const;

	// --- commands of the main menu and the panels' context menus ---
	Refresh Command(int id);
	// Opens files as the open command does with a chosen selection.
	Refresh OpenFiles(const std::vector<std::string>& paths);
	Refresh LoadModel(int itemId);

	// --- the view's input ---
	Refresh KeyDown(InputKey key, bool ctrl);
	Refresh KeyUp(InputKey key);
	Refresh MouseDown();
	Refresh MouseMove(unsigned buttons, int x, int y);
	Refresh MouseWheel(int delta);
	// Called once per drawn frame: advances a playing animation.
	Refresh FrameDrawn();
	Refresh WindowMoved(ViewerWindow window, const WindowRect& rect);

	// --- files panel ---
	// The menu for the item's node (sets the item the menu's commands act
	// on), or for empty space when itemId is -1.
	PopupMenu FilesContextMenu(int itemId);
	Refresh ActivateFileItem(int itemId); // double-click
	Refresh FilesPanelClosed();
	void SetFileNodeExpanded(int id, bool expanded);

	// --- model panel ---
	Refresh SelectModelNode(std::uint32_t param);
	Refresh ActivateModelNode(std::uint32_t param); // double-click
	// The menu for a node's parameter (sets the node its commands act on);
	// over no node, pass 0.
	PopupMenu ModelContextMenu(std::uint32_t param);
	Refresh ModelPanelClosed();

	// --- Background Color dialog ---
	BackgroundDialogValues BackgroundDialogOpened();
	BackgroundDialogValues BackgroundSlidersMoved(const std::array<int, 3>& positions);
	void BackgroundDialogCancelled();

	// --- animations, posing and exports (viewer_anim.cpp, viewer_exports.cpp) ---
	// LoadAnimation (add 0 replaces, 1 adds) and LoadVertexAnimation of a
	// files-panel entry; false when it failed (its message shown).
	bool LoadAnimationItem(int itemId, int add, Refresh& refresh);
	bool LoadVertexAnimationItem(int itemId, Refresh& refresh);
	// The start's --anim NAME: that CHR0 or SHP0 loaded and played as a
	// double-click does.
	Refresh PlayAnimationEntry(std::string_view name);
	AnimInfoTexts AnimInfo() const { return GetAnimInfoTexts(state_.model.anim); }
	Refresh AnimInfoClosed();

	// The Rotate Bone window: one at a time, on `bone`; a new `generation`
	// each time it is opened (the front makes a new window).
	struct BoneDialogState {
		bool open = false;
		int bone = -1;
		bool ownedByModelPanel = false;
		int generation = 0;
	};
	const BoneDialogState& boneDialog() const { return boneDialog_; }
	std::string BoneDialogTitle() const;
	std::array<int, 3> BoneDialogPositions() const;
	Refresh BoneSlidersMoved(const std::array<int, 3>& positions);
	Refresh BoneDialogReset();
	Refresh BoneDialogClosed();

	// The Morph Target dialog (modal): the front runs it when a command
	// returns kMorphDialog, on morphItem().
	std::uint32_t morphItem() const { return morphItem_; }
	int MorphDialogOpened();
	Refresh MorphSliderMoved(int position);
	int MorphDialogReset(Refresh& refresh);

	Refresh ExportModel(int format);     // 2 MD5, 3 PSK, other OBJ
	// the shown model as one .glb: textures, skin, the loaded bone and vertex animations
	Refresh ExportModelToGLTF();
	Refresh ExportAnimation(int format); // 2 MD5, other PSA
	Refresh SavePose();
	Refresh LoadPose();

	// File > Export All Files...: the front runs the dialog when a command
	// returns kExportAllDialog, then the batch through these. Begin unloads
	// the model on display when models are exported and sets the writing
	// title; the items stay unchanged until End.
	Refresh BeginExportAll(const ExportAllOptions& options);
	Refresh EndExportAll();

private:
	Refresh AnimationCommand(int id);
	// A CHR0 or SHP0 entry to load onto the model, with its file; nothing
	// (after the message) without a model or when the file does not read.
	std::optional<ItemRecord> AnimationEntry(int itemId, ItemKind kind, std::optional<FileBytes>& file);
	// The loading title off and the core's message shown; the load's success.
	bool ReportAnimLoad(const AnimLoadResult& result, Refresh& refresh);
	Refresh ActivateAnimationItem(int itemId);
	Refresh OpenBoneDialog(int bone, bool ownedByModelPanel);
	Refresh CloseBoneDialog();
	Refresh RefillStaleModelTree();
	Refresh OpenMorphDialog(std::uint32_t param);
	BoneDialogState boneDialog_;
	std::uint32_t morphItem_ = 0;
	std::string vanimName_; // entry name of the last vertex animation loaded

	Refresh LoadFile();
	Refresh CloseAllFiles();
	Refresh CloseFile(int archiveId);
	Refresh ChangePathDisplay();
	Refresh OpenModelPanel();
	Refresh CloseModelPanel();
	Refresh FreeModel();
	Refresh SetMeshVisibility(int command, int mesh);
	Refresh SetCulling(std::uint32_t bits);
	Refresh ToggleFlagInModelView(std::uint32_t bit);
	Refresh SetChannel(int channel);

	// textures (viewer_textures.cpp)
	const Palette* LastPalette() const;
	Refresh AutoLoadTex();
	const ItemRecord* TextureEntry(int itemId, ItemKind kind) const;
	// OpenTextureItem with its messages; false after reporting a failure
	bool DecodeTexture(const ItemRecord& item, ArchiveFiles& files, TexImage& rec);
	Refresh LoadTexOnModel(int itemId);
	Refresh LoadFlatTex(int itemId);
	Refresh LoadPalette(int itemId);
	void ResetTextureView();
	Refresh ExportTextureItem(int itemId, int format); // format 0 PNG, else TGA
	Refresh ExportShownTexture(int format);
	// ExportToPNG and ExportToTGA: the save dialog, then the file
	Refresh ExportImage(int width, int height, std::span<const std::uint8_t> rgba, const std::string& name,
		int format);
	// The save dialog every interactive export uses: `offeredName` proposed,
	// `extension` (without the dot) preselected and added when none is typed.
	std::optional<std::string> GetSaveFile(std::string_view offeredName, std::string_view extension);
	// The entry's file, containers expanded, read once for the action; after
	// "Can't open file" when it no longer reads, nothing.
	std::optional<FileBytes> ReadEntryFile(const ItemRecord& item);
	void Message(std::string_view text, MessageIcon icon, MessageOwner owner = MessageOwner::MainWindow);
	void Title(int state);
	TreeOptions treeOptions() const;

	ViewerFront& front_;
	ViewerState state_;
	OpenArchives items_;
	FilesTree files_;
	std::vector<ModelTreeNode> modelTree_;
	int filesMenuItem_ = -1;        // the item the files panel's menu acts on
	std::uint32_t modelMenuNode_ = 0; // the node the model panel's menu acts on
};

} // namespace zentarra
