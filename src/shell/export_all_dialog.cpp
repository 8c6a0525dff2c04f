#include "shell/export_all_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <filesystem>

namespace zentarra::shell {

ExportAllDialog::ExportAllDialog(QWidget* owner) : QDialog(owner)
{
	setWindowTitle(kExportAllTitle);
	auto* grid = new QGridLayout(this);
	int row = 0;
	for (const ExportAllList& entry : ExportAllLists()) {
		auto* box = new QComboBox(this);
		box->setObjectName(QString::number(entry.id));
		for (const std::string& text : entry.entries)
			box->addItem(QString::fromStdString(text));
		box->setCurrentIndex(entry.initial);
		grid->addWidget(new QLabel(QString::fromStdString(entry.label), this), row, 0);
		grid->addWidget(box, row, 1);
		m_lists[std::size_t(row)] = box;
		++row;
	}
	int i = 0;
	for (const ExportAllCheck& entry : ExportAllChecks()) {
		auto* check = new QCheckBox(QString::fromStdString(entry.label), this);
		check->setObjectName(QString::number(entry.id));
		check->setChecked(entry.initial);
		grid->addWidget(check, row++, 0, 1, 2);
		m_checks[std::size_t(i++)] = check;
	}
	auto* ok = new QPushButton("OK", this);
	auto* cancel = new QPushButton("Cancel", this);
	ok->setObjectName("ok");
	cancel->setObjectName("cancel");
	ok->setDefault(true);
	auto* buttons = new QHBoxLayout;
	buttons->addStretch();
	buttons->addWidget(ok);
	buttons->addWidget(cancel);
	grid->addLayout(buttons, row, 0, 1, 2);
	connect(ok, &QPushButton::clicked, this, &QDialog::accept);
	connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
	layout()->setSizeConstraint(QLayout::SetFixedSize);
}

ExportAllOptions ExportAllDialog::options() const
{
	std::vector<int> lists;
	for (const QComboBox* box : m_lists)
		lists.push_back(box->currentIndex());
	std::vector<bool> checks;
	for (const QCheckBox* check : m_checks)
		checks.push_back(check->isChecked());
	return ExportAllOptionsFor(lists, checks);
}

void ExportAllDialog::moveEvent(QMoveEvent* event)
{
	QDialog::moveEvent(event);
	emit moved();
}

// --- progress ---

ExportProgressDialog::ExportProgressDialog(const OpenArchives& items, const ExportAllOptions& options, QWidget* owner)
	: QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
	  m_run(items, options),
	  m_modelTextures(options.textures == 3)
{
	setWindowTitle(kExportAllTitle);
	auto* grid = new QGridLayout(this);
	m_file = new QLabel("Writing...", this);
	m_file->setObjectName("file");
	m_file->setMinimumWidth(360);
	m_bar = new QProgressBar(this);
	m_bar->setRange(0, std::max(1, m_run.entries()));
	m_bar->setValue(0);
	m_cancel = new QPushButton("Cancel", this);
	m_cancel->setObjectName("cancel");
	m_cancel->setAutoDefault(false);
	grid->addWidget(m_file, 0, 0, 1, 2);
	grid->addWidget(m_bar, 1, 0, 1, 2);
	grid->addWidget(m_cancel, 2, 1);
	connect(m_cancel, &QPushButton::clicked, this, [this] {
		m_run.Cancel();
		m_cancel->setEnabled(false);
		m_file->setText("Cancelling after the file being written...");
	});
	auto* timer = new QTimer(this);
	connect(timer, &QTimer::timeout, this, &ExportProgressDialog::poll);
	timer->start(30);
}

void ExportProgressDialog::poll()
{
	for (const ExportedFile& line : m_run.TakeLines()) {
		// a model's textures come with it: they are not entries of their own
		if (!(m_modelTextures && line.kind == ItemKind::TEX0))
			++m_done;
		if (m_cancel->isEnabled() && !line.path.empty())
			m_file->setText("Writing " + QString::fromStdString(std::filesystem::path(line.path).filename().string()));
	}
	m_bar->setValue(std::min(m_done, m_bar->maximum()));
	if (m_run.finished())
		done(Accepted);
}

const ExportAllReport& ExportProgressDialog::Run()
{
	exec();
	return m_run.Wait();
}

void ExportProgressDialog::reject()
{
	m_cancel->click();
}

// --- the command ---

void RunExportAll(Viewer& viewer, UserDialogs& dialogs, QWidget* owner, const std::function<void(Refresh)>& sync)
{
	ExportAllDialog dialog(owner);
	QObject::connect(&dialog, &ExportAllDialog::moved, owner, [&sync] { sync(kRedraw); });
	if (dialog.exec() != QDialog::Accepted)
		return;
	const ExportAllOptions options = dialog.options();
	sync(viewer.BeginExportAll(options));
	{
		ExportProgressDialog progress(viewer.items(), options, owner);
		const ExportAllReport& report = progress.Run();
		sync(viewer.EndExportAll());
		dialogs.ShowMessage({kExportAllTitle, ExportAllSummary(report), MessageIcon::Information, MessageOwner::MainWindow});
	}
}

} // namespace zentarra::shell
