#include "view/input.h"

#include "anim/playback.h"
#include "anim/skinning.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zentarra {

namespace {

constexpr float kMaxZoom = 8.0f;

void ClampDistance(ModelView& MV)
{
	MV.distance = std::max(MV.distance, MV.radius / 100.0f);
}

Refresh ToggleFlag(ViewerState& state, std::uint32_t bit)
{
	state.MV.flags ^= bit;
	return kMenus | kRedraw;
}

Refresh AnimKeyRefresh(ViewerState& state, AnimKey key)
{
	return FromAnimRefresh(state, HandleAnimKey(state.model, key));
}

int WrapSoloMesh(int solo, int nMesh)
{
	if (solo < -1)
		return nMesh - 1;
	if (solo > nMesh - 1)
		return -1;
	return solo;
}

Refresh ModelViewKey(ViewerState& state, InputKey key, bool ctrl)
{
	ModelView& MV = state.MV;
	const float step = 0.1f * MV.radius;
	switch (key) {
	case InputKey::Tab:
		return SetView(state, kTextureView);
	case InputKey::Enter:
		CenterModel(MV, state.model.MD);
		break;
	case InputKey::Shift:
		MV.offX = MV.offY = MV.offZ = 0.0f;
		break;
	case InputKey::Up:
		MV.distance -= MV.radius / 50.0f;
		ClampDistance(MV);
		break;
	case InputKey::Down:
		MV.distance += MV.radius / 50.0f;
		break;
	case InputKey::Numpad4:
		ctrl ? void(MV.offX -= step) : void(MV.rotZ -= 10.0f);
		break;
	case InputKey::Numpad6:
		ctrl ? void(MV.offX += step) : void(MV.rotZ += 10.0f);
		break;
	case InputKey::Numpad8:
		ctrl ? void(MV.offZ -= step) : void(MV.rotY -= 10.0f);
		break;
	case InputKey::Numpad2:
		ctrl ? void(MV.offZ += step) : void(MV.rotY += 10.0f);
		break;
	case InputKey::Numpad9:
		if (ctrl) {
			MV.offY += step;
		} else {
			MV.distance -= MV.radius / 4.0f;
			ClampDistance(MV);
		}
		break;
	case InputKey::Numpad3:
		ctrl ? void(MV.offY -= step) : void(MV.distance += MV.radius / 4.0f);
		break;
	default:
		return kRefreshNone;
	}
	return kRedraw;
}

Refresh TextureViewKey(ViewerState& state, InputKey key)
{
	TextureView& TV = state.TV;
	switch (key) {
	case InputKey::Tab:
		return SetView(state, kModelView);
	case InputKey::Enter:
		TV.panX = TV.panY = 0;
		break;
	case InputKey::Shift:
		TV.zoom = 1.0f;
		TV.panX = TV.panY = 0;
		break;
	case InputKey::Up:
		TV.zoom = std::min(TV.zoom + (TV.zoom >= 1.0f ? 1.0f : 0.2f), kMaxZoom);
		break;
	case InputKey::Down:
		TV.zoom = std::max(TV.zoom - (TV.zoom > 1.0f ? 1.0f : 0.2f), 0.2f);
		break;
	case InputKey::Numpad4:
		TV.panX -= 50;
		break;
	case InputKey::Numpad6:
		TV.panX += 50;
		break;
	case InputKey::Numpad8:
		TV.panY += 50;
		break;
	case InputKey::Numpad2:
		TV.panY -= 50;
		break;
	case InputKey::Numpad9:
		TV.zoom = std::min(TV.zoom * 2.0f, kMaxZoom);
		break;
	case InputKey::Numpad3:
		TV.zoom = std::max(TV.zoom / 2.0f, 0.25f);
		break;
	default:
		return kRefreshNone;
	}
	return kRedraw;
}

} // namespace

void ResetModelView(ModelView& view)
{
	view.distance = 2.0f * view.radius;
	view.rotZ = -20.0f;
	view.rotY = 20.0f;
	view.lightRotZ = view.lightRotY = 0.0f;
	view.soloMesh = -1;
	view.offX = view.offY = view.offZ = 0.0f;
}

void CenterModel(ModelView& view, const BRMDL& model)
{
	bool first = true;
	float low[3] = {0, 0, 0};
	float high[3] = {0, 0, 0};
	for (const std::vector<Triangle>& mesh : model.meshTris)
		for (const Triangle& triangle : mesh) {
			const float* p = triangle.v[0].posedPos;
			for (int axis = 0; axis < 3; ++axis) {
				low[axis] = first ? p[axis] : std::min(low[axis], p[axis]);
				high[axis] = first ? p[axis] : std::max(high[axis], p[axis]);
			}
			first = false;
		}
	if (first)
		return;
	view.offX = -(low[0] + high[0]) / 2.0f;
	view.offY = -(low[1] + high[1]) / 2.0f;
	view.offZ = -(low[2] + high[2]) / 2.0f;
}

Refresh SetView(ViewerState& state, int view)
{
	state.disp.view = view;
	Refresh refresh = kMenus | kRedraw;
	if (view != kModelView && state.model.anim.playing != 0) {
		state.model.anim.playing = 0;
		refresh |= kAnimInfo;
	}
	return refresh;
}

Refresh FromAnimRefresh(ViewerState& state, const AnimRefresh& anim)
{
	Refresh refresh = kRefreshNone;
	if (anim.modelView)
		refresh |= SetView(state, kModelView);
	if (anim.menus)
		refresh |= kMenus;
	if (anim.info)
		refresh |= kAnimInfo;
	if (anim.redraw)
		refresh |= kRedraw;
	return refresh;
}

Refresh CheckKeys(ViewerState& state, InputKey key, bool ctrl)
{
	state.keys.ctrl = ctrl;
	switch (key) {
	case InputKey::Space:
		return AnimKeyRefresh(state, AnimKey::Space);
	case InputKey::Left:
		return AnimKeyRefresh(state, AnimKey::Left);
	case InputKey::Right:
		return AnimKeyRefresh(state, AnimKey::Right);
	case InputKey::NumpadPlus:
		return AnimKeyRefresh(state, AnimKey::NumpadPlus);
	case InputKey::NumpadMinus:
		return AnimKeyRefresh(state, AnimKey::NumpadMinus);
	case InputKey::PageUp:
		state.MV.soloMesh = WrapSoloMesh(state.MV.soloMesh - 1, state.model.MD.nMesh);
		return kRedraw;
	case InputKey::PageDown:
		state.MV.soloMesh = WrapSoloMesh(state.MV.soloMesh + 1, state.model.MD.nMesh);
		return kRedraw;
	case InputKey::F1:
		state.filesPanelVisible = !state.filesPanelVisible;
		return kFilesPanel | kFocusMain;
	case InputKey::F2:
		return ToggleFlag(state, kFaces);
	case InputKey::F3:
		return ToggleFlag(state, kAxes);
	case InputKey::F4:
		return ToggleFlag(state, kTextures);
	case InputKey::F5:
		return ToggleFlag(state, kColors);
	case InputKey::F6:
		return ToggleFlag(state, kLighting);
	case InputKey::F7:
		return ToggleFlag(state, kFixedLight);
	case InputKey::F8:
		return ToggleFlag(state, kAlphaTest);
	case InputKey::Escape:
		state.keys.escape = true;
		return kQuit;
	default:
		break;
	}
	return state.disp.view == kModelView ? ModelViewKey(state, key, ctrl) : TextureViewKey(state, key);
}

Refresh CheckMouse(ViewerState& state, unsigned buttons, int x, int y)
{
	MouseState& mouse = state.mouse;
	if (!mouse.seen) {
		mouse.x = x;
		mouse.y = y;
		mouse.seen = true;
		return kRefreshNone;
	}
	const int moveX = x - mouse.x;
	const int moveY = y - mouse.y;
	mouse.x = x;
	mouse.y = y;
	if (moveX == 0 && moveY == 0)
		return kRefreshNone;

	const bool left = buttons & kLeftButton;
	const bool right = buttons & kRightButton;
	const bool middle = buttons & kMiddleButton;
	const bool ctrl = buttons & kCtrlKey;
	if (state.disp.view != kModelView) {
		if (!left && !right)
			return kRefreshNone;
		state.TV.panX = int(float(state.TV.panX) + 2.0f * float(moveX));
		state.TV.panY = int(float(state.TV.panY) - 2.0f * float(moveY));
		return kRedraw;
	}

	ModelView& MV = state.MV;
	const float dx = float(moveX) / float(std::max(state.disp.main.width, 1));
	const float dy = float(moveY) / float(std::max(state.disp.main.height, 1));
	if (left && ctrl) {
		MV.lightRotZ += dx * 360.0f;
		MV.lightRotY += dy * 360.0f;
	} else if (left) {
		MV.rotZ += dx * 360.0f;
		MV.rotY += dy * 360.0f;
	} else if (middle || (right && ctrl)) {
		MV.offY -= 2.0f * dy * MV.radius;
	} else if (right) {
		const float a = MV.rotZ * std::numbers::pi_v<float> / 180.0f;
		MV.offZ += (std::sin(a) * dx + std::cos(a) * dy) * 2.0f * MV.radius;
		MV.offX += (std::cos(a) * dx - std::sin(a) * dy) * 2.0f * MV.radius;
	} else {
		return kRefreshNone;
	}
	return kRedraw;
}

Refresh CheckMouseWheel(ViewerState& state, int delta)
{
	if (state.disp.view == kModelView) {
		state.MV.distance -= float(delta) * state.MV.radius / 500.0f;
		ClampDistance(state.MV);
	} else {
		state.TV.zoom = delta > 0 ? state.TV.zoom * 2.0f : state.TV.zoom / 2.0f;
		state.TV.zoom = std::clamp(state.TV.zoom, 0.25f, kMaxZoom);
	}
	return kRedraw;
}

} // namespace zentarra
