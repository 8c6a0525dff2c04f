#include "view/menu.h"

#include "anim/playback.h"
#include "view/view_state.h"

#include <array>

namespace zentarra {

namespace {

using Kind = MenuEntry::Kind;

MenuEntry Item(int id, const char* label, bool checkable = false)
{
	return MenuEntry{Kind::Item, id, label, checkable, true, false, {}};
}

MenuEntry Check(int id, const char* label)
{
	return Item(id, label, true);
}

// Commands that are in the menus with their labels but have no work yet:
// none at present; a command added before its work goes here.
constexpr std::array<int, 0> kNotYetAvailable{};

} // namespace

bool IsAvailable(int id)
{
	for (int pending : kNotYetAvailable)
		if (pending == id)
			return false;
	return true;
}

namespace {

PopupMenu GreyUnavailable(PopupMenu menu)
{
	for (MenuEntry& entry : menu.entries) {
		if (!IsAvailable(entry.id))
			entry.enabled = false;
		for (MenuEntry& sub : entry.entries)
			if (!IsAvailable(sub.id))
				sub.enabled = false;
	}
	return menu;
}

MenuEntry Separator()
{
	return MenuEntry{Kind::Separator, 0, "", false, true, false, {}};
}

MenuEntry Submenu(const char* label, std::vector<MenuEntry> entries)
{
	return MenuEntry{Kind::Submenu, 0, label, false, true, false, std::move(entries)};
}

std::vector<MenuEntry> BuildMainMenu()
{
	return {
		Submenu("&File",
			{
				Item(kCmdOpenFiles, "&Open Files..."),
				Separator(),
				Item(kCmdShowHideFiles, "&Show/Hide Files\tF1"),
				Item(kCmdExpandAll, "E&xpand All"),
				Item(kCmdCollapseAll, "C&ollapse All"),
				Check(kCmdAutoExpand, "&Auto Expand"),
				Separator(),
				Item(kCmdCloseAllFiles, "&Close All Files"),
				Separator(),
				Item(kCmdExportAll, "&Export All Files..."),
				Separator(),
				Item(kCmdQuit, "&Quit\tEsc"),
			}),
		Submenu("&Model",
			{
				Check(kCmdFaces, "&Faces\tF2"),
				Check(kCmdAxes, "&Axes\tF3"),
				Check(kCmdTextures, "&Textures\tF4"),
				Check(kCmdColors, "&Colors\tF5"),
				Check(kCmdLighting, "&Lighting\tF6"),
				Check(kCmdFixedLight, "Fi&xed Light\tF7"),
				Check(kCmdAlphaTesting, "Al&pha Testing\tF8"),
				Submenu("C&ulling",
					{
						Check(kCmdCullAuto, "&Auto"),
						Check(kCmdCullOn, "&On"),
						Check(kCmdCullOff, "O&ff"),
					}),
				Separator(),
				Item(kCmdInitialPosition, "&Initial Position\tShift"),
				Item(kCmdCenterModel, "Ce&nter Model\tEnter"),
				Item(kCmdResetModelView, "&Reset View"),
				Item(kCmdReloadTextures, "Rel&oad Textures"),
				Separator(),
				Submenu("&Export...",
					{
						Item(kCmdExportMD5, "&MD5"),
						Item(kCmdExportPSK, "&PSK"),
						Item(kCmdExportOBJ, "&OBJ"),
						Item(kCmdExportGLTF, "&glTF"),
						Separator(),
						Check(kCmdAutoExportTextures, "&Auto Export Textures"),
						Check(kCmdSkipHiddenMeshes, "&Don't Export Hidden Meshes"),
					}),
				Submenu("Po&se",
					{
						Item(kCmdLoadPose, "&Load..."),
						Item(kCmdSavePose, "&Save..."),
					}),
				Separator(),
				Item(kCmdMore, "&More..."),
			}),
		Submenu("&Texture",
			{
				Submenu("&Display",
					{
						Check(kCmdChannelNormal, "&Normal"),
						Check(kCmdChannelColors, "&Colors"),
						Check(kCmdChannelAlpha, "&Alpha Channel"),
					}),
				Item(kCmdResetTextureView, "&Reset View\tShift"),
				Submenu("&Export...",
					{
						Item(kCmdExportPNG, "&PNG"),
						Item(kCmdExportTGA, "&TGA"),
					}),
			}),
		// the Export submenu is the eleventh entry, separators counted
		Submenu("&Animation",
			{
				Item(kCmdPlay, "&Play\tSpacebar"),
				Item(kCmdPause, "P&ause\tSpacebar"),
				Item(kCmdStop, "&Stop"),
				Separator(),
				Submenu("Sp&eed",
					{
						Item(kCmdFaster, "&Faster\t+"),
						Item(kCmdSlower, "&Slower\t-"),
						Item(kCmdDefaultSpeed, "&Default"),
					}),
				Submenu("&Frame",
					{
						Item(kCmdNextFrame, "&Next\tRight"),
						Item(kCmdPreviousFrame, "&Previous\tLeft"),
						Item(kCmdFirstFrame, "&First"),
					}),
				Separator(),
				Check(kCmdRotationsOnly, "Play &Rotations Only"),
				Item(kCmdAnimInfo, "&Display Info"),
				Separator(),
				Submenu("&Export...",
					{
						Item(kCmdExportAnimMD5, "&MD5"),
						Item(kCmdExportAnimPSA, "&PSA"),
					}),
				Separator(),
				Submenu("&Unload",
					{
						Item(kCmdUnloadBones, "&Bones Animation"),
						Item(kCmdUnloadVertices, "&Vertices Animation"),
						Item(kCmdUnloadAll, "&All"),
					}),
			}),
		Submenu("&Display",
			{
				Item(kCmdBackgroundColor, "&Background Color..."),
				Submenu("&View",
					{
						Check(kCmdViewModel, "&Model"),
						Check(kCmdViewTexture, "&Texture"),
						Check(kCmdViewPalette, "&Palette"),
					}),
				Check(kCmdFullPath, "&Display Full Path"),
			}),
		Item(kCmdAbout, "A&bout..."),
	};
}

MenuEntry Greyed(const char* label)
{
	MenuEntry entry = Item(0, label);
	entry.enabled = false;
	return entry;
}

} // namespace

const std::vector<MenuEntry>& MainMenu()
{
	static const std::vector<MenuEntry> menu = BuildMainMenu();
	return menu;
}

bool MenuState::IsChecked(int id) const
{
	auto it = checked.find(id);
	return it != checked.end() && it->second;
}

bool MenuState::IsEnabled(int id) const
{
	auto it = enabled.find(id);
	return it == enabled.end() || it->second;
}

MenuState GetMenuState(const ViewerState& state)
{
	MenuState menu;
	const std::uint32_t flags = state.MV.flags;
	menu.modelMenu = state.modelMenuEnabled;
	menu.textureMenu = state.textureMenuEnabled;

	menu.checked[kCmdAutoExpand] = state.disp.autoExpand != 0;
	menu.checked[kCmdFullPath] = state.disp.fullPath != 0;
	const std::pair<int, std::uint32_t> flagItems[] = {
		{kCmdFaces, kFaces},
		{kCmdAxes, kAxes},
		{kCmdTextures, kTextures},
		{kCmdColors, kColors},
		{kCmdLighting, kLighting},
		{kCmdFixedLight, kFixedLight},
		{kCmdAlphaTesting, kAlphaTest},
		{kCmdAutoExportTextures, kAutoExportTextures},
		{kCmdSkipHiddenMeshes, kSkipHiddenMeshes},
	};
	for (const auto& [id, bit] : flagItems)
		menu.checked[id] = (flags & bit) != 0;

	const std::uint32_t culling = flags & kCullMask;
	menu.checked[kCmdCullAuto] = culling == kCullAuto;
	menu.checked[kCmdCullOn] = culling == kCullOn;
	menu.checked[kCmdCullOff] = culling != kCullAuto && culling != kCullOn;

	menu.checked[kCmdChannelNormal] = state.TV.channel == 0;
	menu.checked[kCmdChannelColors] = state.TV.channel == 1;
	menu.checked[kCmdChannelAlpha] = state.TV.channel != 0 && state.TV.channel != 1;
	menu.textureExport = state.TD.loaded != 0;

	menu.checked[kCmdViewModel] = state.disp.view == kModelView;
	menu.checked[kCmdViewTexture] = state.disp.view == kTextureView;
	menu.checked[kCmdViewPalette] = state.disp.view != kModelView && state.disp.view != kTextureView;

	const AnimMenuState anim = GetAnimMenuState(state.model.anim);
	menu.checked[kCmdRotationsOnly] = anim.rotationsOnlyChecked;
	menu.animationMenu = anim.menuEnabled;
	if (anim.menuEnabled) {
		menu.enabled[kCmdPlay] = anim.play;
		menu.enabled[kCmdPause] = anim.pause;
		menu.enabled[kCmdStop] = anim.stop;
		menu.enabled[kCmdUnloadBones] = anim.unloadBones;
		menu.enabled[kCmdUnloadVertices] = anim.unloadVertices;
		menu.enabled[kCmdUnloadAll] = anim.unloadAll;
		menu.animationExport = anim.unloadBones;
	}
	for (int id : kNotYetAvailable)
		menu.enabled[id] = false;
	return menu;
}

namespace {

PopupMenu FilesPanelMenuFor(const ItemKind* kind)
{
	if (!kind)
		return {5900, {Item(kCmdPanelOpenFiles, "Open Files...")}};
	switch (*kind) {
	case ItemKind::MDL0:
		return {5100, {Item(kCmdLoadModel, "Load and Display")}};
	case ItemKind::TEX0:
		return {5200,
			{
				Item(kCmdShowTexture, "Load and Display"),
				Submenu("Export...", {Item(kCmdExportTexturePNG, "PNG"), Item(kCmdExportTextureTGA, "TGA")}),
				Item(kCmdTextureOnModel, "Load on Model"),
			}};
	case ItemKind::PLT0:
		return {5300, {Item(kCmdShowPalette, "Load and Display")}};
	case ItemKind::CHR0:
		return {5400,
			{Item(kCmdLoadAndPlayAnim, "Load and Play"), Item(kCmdLoadAnim, "Load"), Item(kCmdAddAnim, "Add")}};
	case ItemKind::SHP0:
		return {5500, {Item(kCmdLoadAndPlayVertexAnim, "Load and Play"), Item(kCmdLoadVertexAnim, "Load")}};
	case ItemKind::Archive:
		return {5000, {Item(kCmdCloseFile, "Close File")}};
	default:
		return {5999, {Greyed("(no action available)")}};
	}
}

PopupMenu ModelPanelMenuFor(std::uint32_t param, bool meshHidden)
{
	switch (param >> 24) {
	case 0x01:
		return {6000, {Item(kCmdPoseBone, "Pose...")}};
	case 0x04: {
		MenuEntry hide = Check(kCmdHideMesh, "Hide");
		hide.checked = meshHidden;
		return {6300,
			{Item(kCmdShowMeshOnly, "Display This Mesh Only"), hide, Separator(),
				Item(kCmdShowAllMeshes, "Display All Meshes")}};
	}
	case 0x05:
		return {6400, {Item(kCmdMorph, "Morph...")}};
	default:
		return {5999, {Greyed("(no action available)")}};
	}
}

} // namespace

PopupMenu FilesPanelMenu(const ItemKind* kind)
{
	return GreyUnavailable(FilesPanelMenuFor(kind));
}

PopupMenu ModelPanelMenu(std::uint32_t param, bool meshHidden)
{
	return GreyUnavailable(ModelPanelMenuFor(param, meshHidden));
}

} // namespace zentarra
