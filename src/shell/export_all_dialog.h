// File > Export All Files...: the choices dialog, then the batch with a
// progress dialog that names the file being written and can cancel after
// it. The batch runs on a thread of its own, so the view keeps drawing.
#pragma once

#include "view/export_all_dialog.h"
#include "view/viewer.h"

#include <QDialog>

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace zentarra::shell {

class ExportAllDialog : public QDialog {
	Q_OBJECT

public:
	explicit ExportAllDialog(QWidget* owner);
	QComboBox* list(int i) const { return m_lists[std::size_t(i)]; }
	QCheckBox* check(int i) const { return m_checks[std::size_t(i)]; }
	ExportAllOptions options() const;

signals:
	void moved();

protected:
	void moveEvent(QMoveEvent* event) override;

private:
	std::array<QComboBox*, 3> m_lists{};
	std::array<QCheckBox*, 3> m_checks{};
};

class ExportProgressDialog : public QDialog {
	Q_OBJECT

public:
	ExportProgressDialog(const OpenArchives& items, const ExportAllOptions& options, QWidget* owner);
	// Runs the batch until it ends, finished or cancelled; its report.
	const ExportAllReport& Run();
	QLabel* fileText() const { return m_file; }
	QPushButton* cancelButton() const { return m_cancel; }

public slots:
	void reject() override; // Escape cancels like the button, and waits for the end

private:
	void poll();

	ExportAllRun m_run;
	bool m_modelTextures;
	int m_done = 0;
	QLabel* m_file;
	QProgressBar* m_bar;
	QPushButton* m_cancel;
};

// The whole command: dialog, batch, summary. `sync` refreshes the main window.
void RunExportAll(Viewer& viewer, UserDialogs& dialogs, QWidget* owner, const std::function<void(Refresh)>& sync);

} // namespace zentarra::shell
