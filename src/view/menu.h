// The main menu, the panels' context menus and the rules by which menu items
// are checked and enabled. The shell builds its menus from these tables; the
// labels carry their "&" mnemonic and, behind a tab, the key that does the
// same in the view (shown only: the view handles the keys itself).
#pragma once

#include "archive/items.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zentarra {

struct ViewerState;

// Command ids of the main menu and the panels' context menus.
enum Command : int {
	kCmdOpenFiles = 1010,
	kCmdCloseAllFiles = 1020,
	kCmdShowHideFiles = 1030,
	kCmdExpandAll = 1040,
	kCmdCollapseAll = 1050,
	kCmdAutoExpand = 1060,
	kCmdExportAll = 1070,
	kCmdQuit = 1080,
	kCmdFaces = 2010,
	kCmdAxes = 2020,
	kCmdTextures = 2030,
	kCmdColors = 2040,
	kCmdLighting = 2050,
	kCmdFixedLight = 2055,
	kCmdAlphaTesting = 2060,
	kCmdCullAuto = 2070,
	kCmdCullOn = 2080,
	kCmdCullOff = 2090,
	kCmdInitialPosition = 2100,
	kCmdCenterModel = 2103,
	kCmdResetModelView = 2106,
	kCmdReloadTextures = 2110,
	kCmdExportMD5 = 2126,
	kCmdExportPSK = 2130,
	kCmdExportOBJ = 2135,
	kCmdExportGLTF = 2137,
	kCmdAutoExportTextures = 2140,
	kCmdSkipHiddenMeshes = 2145,
	kCmdSavePose = 2150,
	kCmdLoadPose = 2155,
	kCmdMore = 2160,
	kCmdChannelNormal = 2510,
	kCmdChannelColors = 2520,
	kCmdChannelAlpha = 2530,
	kCmdResetTextureView = 2540,
	kCmdExportPNG = 2550,
	kCmdExportTGA = 2560,
	kCmdPlay = 3010,
	kCmdPause = 3020,
	kCmdStop = 3030,
	kCmdRotationsOnly = 3035,
	kCmdFaster = 3040,
	kCmdSlower = 3050,
	kCmdDefaultSpeed = 3060,
	kCmdNextFrame = 3070,
	kCmdPreviousFrame = 3080,
	kCmdFirstFrame = 3090,
	kCmdUnloadBones = 3100,
	kCmdUnloadVertices = 3110,
	kCmdUnloadAll = 3120,
	kCmdAnimInfo = 3130,
	kCmdExportAnimMD5 = 3140,
	kCmdExportAnimPSA = 3150,
	kCmdBackgroundColor = 4000,
	kCmdViewModel = 4010,
	kCmdViewTexture = 4020,
	kCmdViewPalette = 4030,
	kCmdFullPath = 4040,
	kCmdAbout = 4100,
	// files panel
	kCmdCloseFile = 5010,
	kCmdLoadModel = 5110,
	kCmdShowTexture = 5210,
	kCmdExportTexturePNG = 5220,
	kCmdExportTextureTGA = 5222,
	kCmdTextureOnModel = 5230,
	kCmdShowPalette = 5310,
	kCmdLoadAndPlayAnim = 5410,
	kCmdLoadAnim = 5420,
	kCmdAddAnim = 5430,
	kCmdLoadAndPlayVertexAnim = 5510,
	kCmdLoadVertexAnim = 5520,
	kCmdPanelOpenFiles = 5910,
	// model panel
	kCmdPoseBone = 6010,
	kCmdShowMeshOnly = 6310,
	kCmdHideMesh = 6320,
	kCmdShowAllMeshes = 6330,
	kCmdMorph = 6410,
};

struct MenuEntry {
	enum class Kind { Item, Submenu, Separator };
	Kind kind = Kind::Item;
	int id = 0;        // the command; 0 for submenus and separators
	std::string label; // "&Faces\tF2"
	bool checkable = false;
	bool enabled = true; // context menus only: the main menu's follow MenuState
	bool checked = false;
	std::vector<MenuEntry> entries; // of a submenu
};

// The six top-level entries: "&File", "&Model", "&Texture", "&Animation",
// "&Display" (submenus) and the item "A&bout...".
const std::vector<MenuEntry>& MainMenu();

// Positions of the top-level menus that are enabled as a whole.
inline constexpr int kModelMenuPosition = 1;
inline constexpr int kTextureMenuPosition = 2;
inline constexpr int kAnimationMenuPosition = 3;

// Check marks and enabling of the main menu for a state. Items not listed
// in `enabled` are enabled; items not in `checked` are not checkable.
struct MenuState {
	bool modelMenu = false;
	bool textureMenu = false;
	bool animationMenu = false;
	bool textureExport = false;   // the Texture menu's "&Export..." submenu
	bool animationExport = false; // the Animation menu's "&Export..." submenu
	std::map<int, bool> checked;
	std::map<int, bool> enabled;

	bool IsChecked(int id) const;
	bool IsEnabled(int id) const;
};

// False for the commands that are in the menus but have no work yet: they
// stay greyed, and the viewer ignores them.
bool IsAvailable(int id);

// SetMenuState's rules.
MenuState GetMenuState(const ViewerState& state);

// A context menu of a panel: its resource id and entries.
struct PopupMenu {
	int id = 0;
	std::vector<MenuEntry> entries;
};

// The files panel's menu for a node of that kind; over no node (nullptr),
// the menu with "Open Files...".
PopupMenu FilesPanelMenu(const ItemKind* kind);

// The model panel's menu for a node's parameter; `meshHidden` checks "Hide".
PopupMenu ModelPanelMenu(std::uint32_t param, bool meshHidden);

} // namespace zentarra
