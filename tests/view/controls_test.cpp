// The camera, the view's keys, and the rules that check and enable the menus'
// items.
#include "anim/skinning.h"
#include "support/scene.h"
#include "view/input.h"
#include "view/menu.h"
#include "view/view_state.h"

#include <gtest/gtest.h>

#include <set>

namespace zentarra {
namespace {

using testing::AddMesh;

ViewerState Fresh(int view = kModelView)
{
	ViewerState state;
	state.MV.radius = 10.0f;
	ResetModelView(state.MV);
	state.disp.view = view;
	return state;
}

TEST(CheckKeys, ModelViewSteps)
{
	// radius 10, distance 20, rotZ -20, rotY 20
	const struct {
		InputKey key;
		bool ctrl;
		float ModelView::*field;
		float expected;
	} cases[] = {
		{InputKey::Numpad6, false, &ModelView::rotZ, -10}, {InputKey::Numpad8, false, &ModelView::rotY, 10},
		{InputKey::Numpad2, false, &ModelView::rotY, 30}, {InputKey::Numpad3, false, &ModelView::distance, 22.5f},
		{InputKey::Numpad4, true, &ModelView::offX, -1}, {InputKey::Numpad8, true, &ModelView::offZ, -1},
		{InputKey::Numpad9, true, &ModelView::offY, 1}, {InputKey::Down, false, &ModelView::distance, 20.2f},
	};
	for (const auto& c : cases) {
		ViewerState state = Fresh();
		CheckKeys(state, c.key, c.ctrl);
		EXPECT_FLOAT_EQ(state.MV.*(c.field), c.expected) << int(c.key) << " ctrl " << c.ctrl;
	}
	// the distance stops at a radius over a hundred going in
	ViewerState state = Fresh();
	for (int i = 0; i < 200; ++i)
		CheckKeys(state, i < 180 ? InputKey::Up : InputKey::Numpad9, false);
	EXPECT_FLOAT_EQ(state.MV.distance, 0.1f);
}

TEST(CheckKeys, TextureZoomStepsPanAndReset)
{
	const struct {
		InputKey key;
		std::vector<float> zooms;
	} cases[] = {
		{InputKey::Up, {2, 3, 4, 5, 6, 7, 8, 8}},
		{InputKey::Down, {0.8f, 0.6f, 0.4f, 0.2f, 0.2f}},
		{InputKey::Numpad3, {0.5f, 0.25f, 0.25f}},
	};
	for (const auto& c : cases) {
		ViewerState state = Fresh(kTextureView);
		for (float zoom : c.zooms) {
			CheckKeys(state, c.key, false);
			EXPECT_NEAR(state.TV.zoom, zoom, 1e-6) << int(c.key);
		}
	}
	ViewerState state = Fresh(kTextureView);
	for (InputKey key : {InputKey::Numpad4, InputKey::Numpad8, InputKey::Numpad8})
		CheckKeys(state, key, false);
	EXPECT_EQ((std::array{state.TV.panX, state.TV.panY}), (std::array{-50, 100}));
	state.TV.zoom = 3;
	CheckKeys(state, InputKey::Enter, false); // the pan only
	EXPECT_EQ((std::array{float(state.TV.panX), state.TV.zoom}), (std::array{0.0f, 3.0f}));
	CheckKeys(state, InputKey::Shift, false);
	EXPECT_EQ(state.TV.zoom, 1.0f);
}

TEST(CheckKeys, ViewsTogglesSoloMeshAndPlayback)
{
	ViewerState state = Fresh();
	CheckKeys(state, InputKey::Tab, false);
	EXPECT_EQ(state.disp.view, kTextureView);
	const std::pair<InputKey, std::uint32_t> toggles[] = {{InputKey::F2, kFaces}, {InputKey::F6, kLighting},
		{InputKey::F7, kFixedLight}, {InputKey::F8, kAlphaTest}};
	for (const auto& [key, bit] : toggles) {
		const std::uint32_t before = state.MV.flags;
		EXPECT_TRUE(CheckKeys(state, key, false) & kMenus);
		EXPECT_EQ(state.MV.flags, before ^ bit) << int(key);
	}
	state.disp.view = kPaletteView;
	CheckKeys(state, InputKey::Tab, false);
	EXPECT_EQ(state.disp.view, kModelView);
	EXPECT_TRUE(CheckKeys(state, InputKey::F1, false) & kFocusMain);
	EXPECT_TRUE(CheckKeys(state, InputKey::Escape, false) & kQuit);
	EXPECT_EQ(CheckKeys(state, InputKey::Space, false), kRefreshNone); // no animation

	// the page keys walk the solo mesh and wrap
	for (int m = 0; m < 3; ++m)
		AddMesh(state.model, {testing::Facing(1)});
	std::vector<int> seen;
	using enum InputKey;
	for (InputKey key : {PageDown, PageDown, PageDown, PageDown, PageUp}) {
		CheckKeys(state, key, false);
		seen.push_back(state.MV.soloMesh);
	}
	EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, -1, 2}));
}

// The items of `ids` that the menu shows checked (or enabled).
std::set<int> Checked(const MenuState& menu, std::initializer_list<int> ids, bool enabled = false)
{
	std::set<int> on;
	for (int id : ids)
		if (enabled ? menu.IsEnabled(id) : menu.IsChecked(id))
			on.insert(id);
	return on;
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

} // namespace
} // namespace zentarra
