#include "shell/qt_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

namespace zentarra::shell {

namespace {

QMessageBox::Icon IconOf(MessageIcon icon)
{
	switch (icon) {
	case MessageIcon::Information:
		return QMessageBox::Information;
	case MessageIcon::Warning:
		return QMessageBox::Warning;
	case MessageIcon::Error:
		return QMessageBox::Critical;
	}
	return QMessageBox::NoIcon;
}

// "*.*" means every file where the filters come from; here it would miss
// files without an extension.
QStringList NameFilters(const std::vector<FileFilter>& filters)
{
	QStringList names;
	for (const FileFilter& filter : filters)
		names << (filter.pattern == "*.*" ? QString::fromStdString(filter.label).replace("(*.*)", "(*)")
										 : QString::fromStdString(filter.label));
	return names;
}

QString Selected(const QStringList& names, int index)
{
	return index >= 0 && index < names.size() ? names[index] : QString();
}

} // namespace

void QtDialogs::ShowMessage(const MessageBox& message)
{
	QMessageBox box(IconOf(message.icon), QString::fromStdString(message.title), QString::fromStdString(message.text),
		QMessageBox::Ok, m_owner(message.owner));
	box.exec();
}

std::vector<std::string> QtDialogs::AskOpenFiles(const OpenFileRequest& request)
{
	const QStringList names = NameFilters(request.filters);
	QString selected = Selected(names, request.selectedFilter);
	QStringList files;
	if (request.multiple) {
		files = QFileDialog::getOpenFileNames(m_owner(MessageOwner::MainWindow),
			QString::fromStdString(request.title), QString(), names.join(";;"), &selected);
	} else {
		const QString file = QFileDialog::getOpenFileName(m_owner(MessageOwner::MainWindow),
			QString::fromStdString(request.title), QString(), names.join(";;"), &selected);
		if (!file.isEmpty())
			files << file;
	}
	std::vector<std::string> paths;
	for (const QString& file : files)
		paths.push_back(file.toStdString());
	return paths;
}

std::optional<std::string> QtDialogs::AskSaveFile(const SaveFileRequest& request)
{
	QFileDialog dialog(m_owner(MessageOwner::MainWindow), QString::fromStdString(request.title));
	dialog.setAcceptMode(QFileDialog::AcceptSave);
	dialog.setFileMode(QFileDialog::AnyFile);
	const QStringList names = NameFilters(request.filters);
	dialog.setNameFilters(names);
	dialog.selectNameFilter(Selected(names, request.selectedFilter));
	dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
	dialog.selectFile(QString::fromStdString(request.offeredName));
	if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
		return std::nullopt;
	return dialog.selectedFiles().front().toStdString();
}

} // namespace zentarra::shell
