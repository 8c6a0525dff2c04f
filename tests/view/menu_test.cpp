// The rules that check and enable the menus' items, and the panels' menus.
#include "view/menu.h"
#include "view/view_state.h"

#include <gtest/gtest.h>

#include <set>

namespace zentarra {
namespace {

// The items of `ids` that the menu shows checked (or enabled).
std::set<int> Checked(const MenuState& menu, std::initializer_list<int> ids, bool enabled = false)
{
	std::set<int> on;
	for (int id : ids)
		if (enabled ? menu.IsEnabled(id) : menu.IsChecked(id))
			on.insert(id);
	return on;
}

TEST(MenuState, ChecksFollowTheState)
{
	ViewerState state;
	const std::pair<std::uint32_t, int> culling[] = {{0xC0, kCmdCullAuto}, {0x80, kCmdCullOff}};
	for (const auto& [bits, checked] : culling) {
		state.MV.flags = kFaces | kAutoExportTextures | bits;
		EXPECT_EQ(Checked(GetMenuState(state), {kCmdCullAuto, kCmdCullOn, kCmdCullOff, kCmdFaces, kCmdAxes,
			kCmdAutoExportTextures}), (std::set<int>{checked, kCmdFaces, kCmdAutoExportTextures})) << bits;
	}
	const struct {
		int channel, view;
		std::set<int> checked;
	} channels[] = {{1, 1, {kCmdChannelColors, kCmdViewTexture}}, {5, 9, {kCmdChannelAlpha, kCmdViewPalette}}};
	for (const auto& c : channels) {
		state.TV.channel = c.channel;
		state.disp.view = c.view;
		EXPECT_EQ(Checked(GetMenuState(state), {kCmdChannelNormal, kCmdChannelColors, kCmdChannelAlpha, kCmdViewModel,
			kCmdViewTexture, kCmdViewPalette}), c.checked) << c.channel;
	}
}

TEST(MenuState, AnimationMenuByPlaybackState)
{
	const struct {
		std::uint32_t type;
		int playing;
		float frame;
		std::set<int> enabled; // of Play, Pause, Stop, the three Unloads
		bool exportMenu;
	} cases[] = {
		{1, 0, 0, {kCmdPlay, kCmdStop, kCmdUnloadBones, kCmdUnloadAll}, true},
		{1, 0, -1, {kCmdPlay, kCmdUnloadBones, kCmdUnloadAll}, true},
		{2, 1, 3, {kCmdPause, kCmdStop, kCmdUnloadVertices, kCmdUnloadAll}, false},
		{3, 1, 3, {kCmdPause, kCmdStop, kCmdUnloadBones, kCmdUnloadVertices, kCmdUnloadAll}, true},
	};
	for (const auto& c : cases) {
		ViewerState state;
		state.model.anim.type = c.type;
		state.model.anim.playing = c.playing;
		state.model.anim.frame = c.frame;
		const MenuState menu = GetMenuState(state);
		EXPECT_EQ(menu.animationExport, c.exportMenu);
		EXPECT_EQ(Checked(menu, {kCmdPlay, kCmdPause, kCmdStop, kCmdUnloadBones, kCmdUnloadVertices, kCmdUnloadAll},
			true), c.enabled) << c.type;
	}
	EXPECT_FALSE(GetMenuState(ViewerState{}).animationMenu);
}

TEST(PanelMenus, ByKindAndClass)
{
	const std::pair<ItemKind, int> kinds[] = {{ItemKind::MDL0, 5100}, {ItemKind::TEX0, 5200}, {ItemKind::PLT0, 5300},
		{ItemKind::CHR0, 5400}, {ItemKind::SHP0, 5500}, {ItemKind::Archive, 5000}, {ItemKind::Folder, 5999}};
	for (const auto& [kind, id] : kinds) {
		const PopupMenu menu = FilesPanelMenu(&kind);
		EXPECT_EQ(menu.id, id);
		for (const MenuEntry& entry : menu.entries) // every command has its work; the rest says there is none
			EXPECT_EQ(entry.enabled, id != 5999) << entry.label;
	}

	const struct {
		std::uint32_t param;
		int first; // the first entry's command, or the menu's id
	} nodes[] = {{0x01000003, kCmdPoseBone}, {0x04000002, kCmdShowMeshOnly}, {0x05010002, kCmdMorph}, {4, 5999}};
	for (const auto& n : nodes) {
		const PopupMenu menu = ModelPanelMenu(n.param, false);
		EXPECT_EQ(n.first == 5999 ? menu.id : menu.entries[0].id, n.first) << n.param;
		EXPECT_TRUE(n.first == 5999 || menu.entries[0].enabled) << n.param;
	}
	EXPECT_TRUE(ModelPanelMenu(0x04000002, true).entries[1].checked);
}

} // namespace
} // namespace zentarra
