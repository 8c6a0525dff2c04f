// The message boxes and file dialogs of the viewer, with Qt's widgets.
#pragma once

#include "view/front.h"

#include <functional>

class QWidget;

namespace zentarra::shell {

class QtDialogs : public UserDialogs {
public:
	// `owner` gives the window a message box or dialog belongs to.
	explicit QtDialogs(std::function<QWidget*(MessageOwner)> owner) : m_owner(std::move(owner)) {}

	void ShowMessage(const MessageBox& message) override;
	std::vector<std::string> AskOpenFiles(const OpenFileRequest& request) override;
	std::optional<std::string> AskSaveFile(const SaveFileRequest& request) override;

private:
	std::function<QWidget*(MessageOwner)> m_owner;
};

} // namespace zentarra::shell
