// The viewer's state: the model view, the texture view, the display settings,
// the input state and the selection, held together with the loaded model in
// one record. The renderer draws from a const ViewerState; the Viewer owner
// (view/viewer.h) is the only one that changes it.
#pragma once

#include "model/model.h"
#include "view/textures.h"

#include <cstdint>

namespace zentarra {

// Display option bits of ModelView::flags (saved in the settings file and
// shown as check marks in the Model menu).
enum ModelFlag : std::uint32_t {
	kFaces = 0x001,       // filled polygons, else wireframe
	kAxes = 0x002,
	kColors = 0x004,      // vertex colours, else white
	kAlphaTest = 0x008,
	kTextures = 0x010,
	kLighting = 0x020,
	kCullOn = 0x040,      // culling bits: 0xC0 auto, 0x40 on, 0 off (0x80 behaves as off)
	kCullAuto = 0x0C0,
	kCullMask = 0x0C0,
	kAutoExportTextures = 0x100,
	kFixedLight = 0x200,
	kSkipHiddenMeshes = 0x400, // do not export hidden meshes
};

// Every option from faces to automatic culling: a fresh start's flags.
inline constexpr std::uint32_t kDefaultModelFlags = 0xFF;

// The model camera (MV).
struct ModelView {
	std::uint32_t flags = kDefaultModelFlags;
	float radius = 10.0f;   // bounding radius of the model
	float distance = 20.0f; // camera distance from the origin along GL X
	float rotZ = -20.0f;    // model turn about GL Z (the up axis), degrees
	float rotY = 20.0f;     // model tilt about GL Y, degrees
	float lightRotZ = 0.0f;
	float lightRotY = 0.0f;
	float offZ = 0.0f; // model translation along GL X (model Z)
	float offX = 0.0f; // along GL Y (model X)
	float offY = 0.0f; // along GL Z (model Y)
	int soloMesh = -1; // the mesh drawn alone, the others as points; -1 none
};

enum class Channel : int { Normal = 0, Colors = 1, Alpha = 2 };

// The texture and palette views (TV).
struct TextureView {
	int channel = 0; // 0 normal (blended by alpha), 1 colours, 2 alpha as grey
	float zoom = 1.0f;
	int panX = 0; // projection units, 2 per pixel, positive to the right
	int panY = 0; // positive upward
};

enum ViewKind : int { kModelView = 0, kTextureView = 1, kPaletteView = 2 };

struct WindowRect {
	int x = 0;
	int y = 0;
	int width = 0;
	int height = 0;
};

// The display settings (disp): window rectangles in screen pixels (outer
// size), the current view, the background colour and the files panel's options.
struct DisplaySettings {
	WindowRect main{0, 0, 650, 515};
	WindowRect files{4, 50, 160, 360};
	WindowRect model{4, 50, 160, 360};
	int view = kModelView;
	float bgRed = 0.0f;
	float bgGreen = 0.0f;
	float bgBlue = 0.0f;
	float bgExtra = 0.0f; // carried along by the background dialog only
	float bgSaved[4] = {0, 0, 0, 0};
	int fullPath = 0;
	int autoExpand = 0;
};

// Keys the viewer reacts to, whatever the window system calls them.
enum class InputKey {
	Tab,
	Enter,
	Shift,
	Ctrl,
	Space,
	PageUp,
	PageDown,
	Left,
	Right,
	Up,
	Down,
	Numpad2,
	Numpad3,
	Numpad4,
	Numpad6,
	Numpad8,
	Numpad9,
	NumpadPlus,
	NumpadMinus,
	F1,
	F2,
	F3,
	F4,
	F5,
	F6,
	F7,
	F8,
	Escape,
	Other,
};

struct KeyState {
	bool ctrl = false;
	bool escape = false;
};

// Mouse buttons as the bits of a mouse-move message's key-state word.
enum MouseButton : unsigned {
	kLeftButton = 0x01,
	kRightButton = 0x02,
	kCtrlKey = 0x08,
	kMiddleButton = 0x10,
};

struct MouseState {
	int x = 0;
	int y = 0;
	bool seen = false; // a first position was recorded: moves from there on drag
	bool dragging = false;
};

// Everything the viewer shows and the renderer draws from.
struct ViewerState {
	LoadedModel model; // MD, the node table and the animation state
	ModelView MV;
	TextureView TV;
	DisplaySettings disp;
	KeyState keys;
	MouseState mouse;
	ModelTextures tx;   // the model's textures, per material slot
	TextureDisplay TD;  // the texture and palette of the texture views
	int sbone = -1; // bone selected in the model panel
	int smesh = -1; // mesh selected in the model panel
	int titleState = 0; // 0 plain, 1 loading, 2 writing
	bool modelMenuEnabled = false;
	bool textureMenuEnabled = false;
	bool filesPanelVisible = true;
	bool modelPanelOpen = false;
	bool animInfoOpen = false;
};

} // namespace zentarra
