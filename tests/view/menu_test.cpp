// The menu tables and the rules that check and enable their items.
#include "view/menu.h"
#include "view/view_state.h"

#include <gtest/gtest.h>

#include <set>

namespace zentarra {
namespace {

// Every item of a menu tree, with its label.
void Collect(const std::vector<MenuEntry>& entries, std::map<int, std::string>& items)
{
	for (const MenuEntry& entry : entries) {
		if (entry.kind == MenuEntry::Kind::Item)
			items[entry.id] = entry.label;
		Collect(entry.entries, items);
	}
}

TEST(MainMenu, TopLevelAndLabels)
{
	const std::vector<MenuEntry>& menu = MainMenu();
	std::vector<std::string> top;
	for (const MenuEntry& entry : menu)
		top.push_back(entry.label);
	EXPECT_EQ(top, (std::vector<std::string>{"&File", "&Model", "&Texture", "&Animation", "&Display", "A&bout..."}));
	std::map<int, std::string> items;
	Collect(menu, items);
	EXPECT_EQ(items.size(), 59u); // the table's 58 and glTF
	EXPECT_EQ(items[kCmdShowHideFiles], "&Show/Hide Files\tF1");
	EXPECT_EQ(items[kCmdQuit], "&Quit\tEsc");
}

TEST(MenuState, ChecksFollowTheState)
{
	ViewerState state;
	struct Case {
		std::uint32_t culling;
		int checked;
	} culling[] = {{0xC0, kCmdCullAuto}, {0x40, kCmdCullOn}, {0x80, kCmdCullOff}, {0, kCmdCullOff}};
	for (const Case& c : culling) {
		state.MV.flags = kFaces | kAutoExportTextures | c.culling;
		const MenuState menu = GetMenuState(state);
		for (int id : {kCmdCullAuto, kCmdCullOn, kCmdCullOff})
			EXPECT_EQ(menu.IsChecked(id), id == c.checked) << c.culling;
		EXPECT_TRUE(menu.IsChecked(kCmdFaces));
		EXPECT_FALSE(menu.IsChecked(kCmdAxes));
		EXPECT_TRUE(menu.IsChecked(kCmdAutoExportTextures));
	}
	const std::pair<int, int> channels[] = {{0, kCmdChannelNormal}, {1, kCmdChannelColors}, {2, kCmdChannelAlpha},
		{5, kCmdChannelAlpha}};
	for (const auto& [channel, checked] : channels) {
		state.TV.channel = channel;
		state.disp.view = channel == 5 ? 9 : channel;
		const MenuState menu = GetMenuState(state);
		for (int id : {kCmdChannelNormal, kCmdChannelColors, kCmdChannelAlpha})
			EXPECT_EQ(menu.IsChecked(id), id == checked);
		const int view = channel == 0 ? kCmdViewModel : channel == 1 ? kCmdViewTexture : kCmdViewPalette;
		for (int id : {kCmdViewModel, kCmdViewTexture, kCmdViewPalette})
			EXPECT_EQ(menu.IsChecked(id), id == view);
	}
	state.disp.autoExpand = 1;
	state.model.anim.rotOnly = 1;
	EXPECT_TRUE(GetMenuState(state).IsChecked(kCmdAutoExpand));
	EXPECT_TRUE(GetMenuState(state).IsChecked(kCmdRotationsOnly));
	EXPECT_FALSE(GetMenuState(state).textureExport);
	state.TD.loaded = 1;
	EXPECT_TRUE(GetMenuState(state).textureExport);
}

TEST(MenuState, AnimationMenuByPlaybackState)
{
	struct Case {
		std::uint32_t type;
		int playing;
		float frame;
		std::set<int> enabled; // of Play, Pause, Stop, the three Unloads
		bool exportMenu;
	} cases[] = {
		{0, 0, -1, {}, false},
		{1, 0, 0, {kCmdPlay, kCmdStop, kCmdUnloadBones, kCmdUnloadAll}, true},
		{1, 0, -1, {kCmdPlay, kCmdUnloadBones, kCmdUnloadAll}, true},
		{2, 1, 3, {kCmdPause, kCmdStop, kCmdUnloadVertices, kCmdUnloadAll}, false},
		{3, 1, 3, {kCmdPause, kCmdStop, kCmdUnloadBones, kCmdUnloadVertices, kCmdUnloadAll}, true},
	};
	for (const Case& c : cases) {
		ViewerState state;
		state.model.anim.type = c.type;
		state.model.anim.playing = c.playing;
		state.model.anim.frame = c.frame;
		const MenuState menu = GetMenuState(state);
		EXPECT_EQ(menu.animationMenu, c.type != 0);
		EXPECT_EQ(menu.animationExport, c.exportMenu);
		if (c.type == 0)
			continue;
		for (int id : {kCmdPlay, kCmdPause, kCmdStop, kCmdUnloadBones, kCmdUnloadVertices, kCmdUnloadAll})
			EXPECT_EQ(menu.IsEnabled(id), c.enabled.count(id) == 1) << id << " type " << c.type;
	}
}

TEST(PanelMenus, ByKindAndClass)
{
	const std::pair<ItemKind, int> kinds[] = {{ItemKind::MDL0, 5100}, {ItemKind::TEX0, 5200}, {ItemKind::PLT0, 5300},
		{ItemKind::CHR0, 5400}, {ItemKind::SHP0, 5500}, {ItemKind::Archive, 5000}, {ItemKind::Folder, 5999},
		{ItemKind::Other, 5999}};
	for (const auto& [kind, id] : kinds)
		EXPECT_EQ(FilesPanelMenu(&kind).id, id);
	const PopupMenu folder = FilesPanelMenu(&kinds[6].first);
	ASSERT_EQ(folder.entries.size(), 1u);
	EXPECT_EQ(folder.entries[0].label, "(no action available)");
	EXPECT_FALSE(folder.entries[0].enabled);
	EXPECT_EQ(FilesPanelMenu(nullptr).entries[0].label, "Open Files...");
	const PopupMenu texture = FilesPanelMenu(&kinds[1].first);
	EXPECT_EQ(texture.entries[1].entries[1].id, kCmdExportTextureTGA);

	EXPECT_EQ(ModelPanelMenu(0x01000003, false).entries[0].label, "Pose...");
	const PopupMenu mesh = ModelPanelMenu(0x04000002, true);
	EXPECT_EQ(mesh.id, 6300);
	EXPECT_TRUE(mesh.entries[1].checked);
	EXPECT_FALSE(ModelPanelMenu(0x04000002, false).entries[1].checked);
	EXPECT_EQ(ModelPanelMenu(0x05010002, false).entries[0].id, kCmdMorph);
	EXPECT_EQ(ModelPanelMenu(4, false).id, 5999); // "Meshes"
}

TEST(PanelMenus, EveryCommandHasItsWork)
{
	for (const ItemKind kind : {ItemKind::MDL0, ItemKind::TEX0, ItemKind::PLT0, ItemKind::CHR0, ItemKind::SHP0})
		for (const MenuEntry& entry : FilesPanelMenu(&kind).entries)
			EXPECT_TRUE(entry.enabled) << entry.label;
	for (const std::uint32_t param : {0x01000003u, 0x04000002u, 0x05010002u})
		EXPECT_TRUE(ModelPanelMenu(param, false).entries[0].enabled) << param;
	ViewerState state;
	state.modelMenuEnabled = true;
	const MenuState menu = GetMenuState(state);
	for (int id : {kCmdExportOBJ, kCmdExportAll, kCmdSavePose, kCmdLoadPose, kCmdReloadTextures, kCmdFaces})
		EXPECT_TRUE(menu.IsEnabled(id)) << id;
}

} // namespace
} // namespace zentarra
