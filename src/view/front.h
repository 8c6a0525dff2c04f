// What a viewer command asks of the window front: the parts to refresh
// afterwards, and the one small interface through which every message box
// and file dialog goes, so that tests can answer them.
#pragma once

#include "archive/open_files.h"

#include <optional>
#include <string>
#include <vector>

namespace zentarra {

// The parts of the front to bring in line with the state after a command.
enum Refresh : unsigned {
	kRefreshNone = 0,
	kRedraw = 1u << 0,         // draw the view again
	kMenus = 1u << 1,          // check marks and enabling (SetMenuState)
	kTitle = 1u << 2,          // the window title
	kFilesTree = 1u << 3,      // the files panel's nodes
	kFilesPanel = 1u << 4,     // its visibility
	kModelPanel = 1u << 5,     // the model panel opened, closed or refilled
	kMeshNames = 1u << 6,      // texts of the model panel's mesh nodes
	kAnimInfo = 1u << 7,       // the Animation Info window
	kQuit = 1u << 8,           // end the program (queued, never from inside a paint)
	kTextureImages = 1u << 9,       // texture images changed
	kBoneDialog = 1u << 10,    // the Rotate Bone window opened, closed or moved to another bone
	kFocusMain = 1u << 11,     // give the keyboard focus back to the main window
	kWindowRects = 1u << 12,   // move the windows to their rectangles in the settings
	kMorphDialog = 1u << 13,   // run the Morph Target dialog on Viewer::morphItem()
	kExportAllDialog = 1u << 14, // run the Export All Files dialog
};

inline Refresh operator|(Refresh a, Refresh b)
{
	return Refresh(unsigned(a) | unsigned(b));
}
inline Refresh& operator|=(Refresh& a, Refresh b)
{
	return a = a | b;
}

// Who a message box belongs to.
enum class MessageOwner { MainWindow, ActiveWindow, ModelPanel, NoOwner };

struct MessageBox {
	std::string title = "ERROR";
	std::string text;
	MessageIcon icon = MessageIcon::Warning;
	MessageOwner owner = MessageOwner::MainWindow;
};

struct FileFilter {
	std::string label;   // "BRRES files (*.br*)"
	std::string pattern; // "*.br*"
};

struct OpenFileRequest {
	std::string title;
	std::vector<FileFilter> filters;
	int selectedFilter = 0;
	bool multiple = false;
};

struct SaveFileRequest {
	std::string title;
	std::vector<FileFilter> filters;
	int selectedFilter = 0;
	std::string offeredName;      // the file name proposed
	std::string defaultExtension; // added when the user types none
};

// The message boxes and file dialogs: Qt's in the shell, scripted answers in tests.
class UserDialogs {
public:
	virtual ~UserDialogs() = default;
	virtual void ShowMessage(const MessageBox& message) = 0;
	// The chosen files, full paths; empty when cancelled.
	virtual std::vector<std::string> AskOpenFiles(const OpenFileRequest& request) = 0;
	// The chosen file, or nothing when cancelled. The dialog asks before
	// replacing a file.
	virtual std::optional<std::string> AskSaveFile(const SaveFileRequest& request) = 0;
};

// What a command needs of the window front while it runs.
class ViewerFront : public UserDialogs {
public:
	// Shown at once, before a long action runs (the "[Loading...]" title).
	virtual void SetTitle(int state) = 0;
	// Draws the view at once (before an export, so it shows what is written).
	virtual void DrawNow() {}
};

// The window title for a title state: 1 loading, 2 writing, else plain.
std::string WindowTitle(int state);

inline constexpr const char* kProgramTitle = "Zentarra (v1.3.1)";
inline constexpr const char* kProgramVersion = "Zentarra v1.3.1";

} // namespace zentarra
