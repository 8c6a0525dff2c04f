#include "shell/anim_windows.h"

#include "anim/pose.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

namespace zentarra::shell {

namespace {

QPushButton* Button(const char* text, const char* name, QWidget* parent)
{
	auto* button = new QPushButton(text, parent);
	button->setObjectName(name);
	button->setAutoDefault(false);
	return button;
}

} // namespace

ToolWindow::ToolWindow(QWidget* owner) : QDialog(owner, Qt::Tool)
{
	setAttribute(Qt::WA_DeleteOnClose);
}

void ToolWindow::closeEvent(QCloseEvent* event)
{
	emit closed();
	QDialog::closeEvent(event);
}

void ToolWindow::moveEvent(QMoveEvent* event)
{
	QDialog::moveEvent(event);
	emit moved();
}

// --- Animation Info ---

AnimInfoWindow::AnimInfoWindow(QWidget* owner) : ToolWindow(owner)
{
	setWindowTitle("Animation Info");
	auto* grid = new QGridLayout(this);
	const char* labels[4] = {"Animation type", "Current frame", "Number of frames", "Animation speed"};
	for (int i = 0; i < 4; ++i) {
		auto* value = new QLabel(this);
		value->setObjectName(QString::number(12010 + 10 * i));
		value->setMinimumWidth(value->fontMetrics().horizontalAdvance("(no animation loaded)"));
		grid->addWidget(new QLabel(labels[i], this), i, 0);
		grid->addWidget(value, i, 1);
		m_values[std::size_t(i)] = value;
	}
	layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void AnimInfoWindow::ShowTexts(const AnimInfoTexts& texts)
{
	const std::string* values[4] = {&texts.type, &texts.frame, &texts.frameCount, &texts.speed};
	for (std::size_t i = 0; i < 4; ++i)
		m_values[i]->setText(QString::fromStdString(*values[i]));
}

// --- Rotate Bone ---

BoneDialog::BoneDialog(Viewer& viewer, QWidget* owner) : ToolWindow(owner), m_viewer(viewer)
{
	setWindowTitle(QString::fromStdString(viewer.BoneDialogTitle()));
	auto* grid = new QGridLayout(this);
	const char* axes[3] = {"X", "Y", "Z"};
	for (int i = 0; i < 3; ++i) {
		auto* slider = new QSlider(Qt::Horizontal, this);
		slider->setObjectName(QString::number(14010 + 10 * i));
		slider->setRange(0, kRotationTrackMax);
		slider->setMinimumWidth(240);
		grid->addWidget(new QLabel(axes[i], this), i, 0);
		grid->addWidget(slider, i, 1);
		m_sliders[std::size_t(i)] = slider;
		connect(slider, &QSlider::valueChanged, this, [this] {
			emit changed(m_viewer.BoneSlidersMoved({m_sliders[0]->value(), m_sliders[1]->value(), m_sliders[2]->value()}));
		});
	}
	QPushButton* ok = Button("OK", "ok", this);
	QPushButton* reset = Button("Reset", "reset", this);
	auto* buttons = new QHBoxLayout;
	buttons->addStretch();
	buttons->addWidget(ok);
	buttons->addWidget(reset);
	grid->addLayout(buttons, 3, 0, 1, 2);
	connect(ok, &QPushButton::clicked, this, &QWidget::close);
	connect(reset, &QPushButton::clicked, this, [this] { emit changed(m_viewer.BoneDialogReset()); });
	ShowPositions();
	layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void BoneDialog::ShowPositions()
{
	const std::array<int, 3> positions = m_viewer.BoneDialogPositions();
	for (std::size_t i = 0; i < 3; ++i) {
		const QSignalBlocker quiet(m_sliders[i]);
		m_sliders[i]->setValue(positions[i]);
	}
}

// --- Morph Target ---

MorphDialog::MorphDialog(Viewer& viewer, QWidget* owner)
	: QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_viewer(viewer)
{
	setWindowTitle("Morph Target");
	setWindowModality(Qt::ApplicationModal);
	auto* grid = new QGridLayout(this);
	m_slider = new QSlider(Qt::Horizontal, this);
	m_slider->setObjectName("11010");
	m_slider->setRange(0, kMorphTrackMax);
	m_slider->setMinimumWidth(240);
	m_text = new QLabel("000%", this);
	m_text->setObjectName("11040");
	grid->addWidget(m_slider, 0, 0);
	grid->addWidget(m_text, 0, 1);
	QPushButton* ok = Button("OK", "ok", this);
	QPushButton* reset = Button("Reset", "reset", this);
	auto* buttons = new QHBoxLayout;
	buttons->addStretch();
	buttons->addWidget(ok);
	buttons->addWidget(reset);
	grid->addLayout(buttons, 1, 0, 1, 2);
	connect(m_slider, &QSlider::valueChanged, this, [this](int position) {
		m_text->setText(QString::fromStdString(MorphPercentText(position)));
		emit changed(m_viewer.MorphSliderMoved(position));
	});
	connect(ok, &QPushButton::clicked, this, [this] { done(Accepted); });
	connect(reset, &QPushButton::clicked, this, [this] {
		Refresh refresh = kRefreshNone;
		showPosition(m_viewer.MorphDialogReset(refresh));
		emit changed(refresh);
	});
	showPosition(m_viewer.MorphDialogOpened());
	layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void MorphDialog::showPosition(int position)
{
	const QSignalBlocker quiet(m_slider);
	m_slider->setValue(position);
	m_text->setText(QString::fromStdString(MorphPercentText(m_slider->value())));
}

void MorphDialog::reject()
{
}

void MorphDialog::keyPressEvent(QKeyEvent* event)
{
	if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
		return;
	QDialog::keyPressEvent(event);
}

void MorphDialog::moveEvent(QMoveEvent* event)
{
	QDialog::moveEvent(event);
	emit moved();
}

// --- keeping them in line ---

AnimWindows::AnimWindows(Viewer& viewer, QWidget* main, std::function<void(Refresh)> sync,
	std::function<QWidget*()> modelPanel, std::function<void()> redrawNow)
	: QObject(main),
	  m_viewer(viewer),
	  m_main(main),
	  m_sync(std::move(sync)),
	  m_modelPanel(std::move(modelPanel)),
	  m_redrawNow(std::move(redrawNow))
{
}

void AnimWindows::Sync(Refresh refresh)
{
	const ViewerState& state = m_viewer.state();
	if (refresh & kAnimInfo) {
		if (state.animInfoOpen && !m_info) {
			m_info = new AnimInfoWindow(m_main);
			connect(m_info, &AnimInfoWindow::closed, this, [this] { m_sync(m_viewer.AnimInfoClosed()); });
			connect(m_info, &AnimInfoWindow::moved, this, m_redrawNow);
			m_info->show();
		} else if (!state.animInfoOpen && m_info) {
			m_info->hide();
			m_info->deleteLater();
			m_info = nullptr;
		}
		if (m_info)
			m_info->ShowTexts(m_viewer.AnimInfo());
	}
	if (refresh & kBoneDialog) {
		const Viewer::BoneDialogState& bone = m_viewer.boneDialog();
		if (m_bone && (!bone.open || bone.generation != m_boneGeneration)) {
			// a new one for another bone, as the old window is destroyed
			BoneDialog* old = m_bone;
			m_bone = nullptr;
			old->disconnect(this);
			old->hide();
			old->deleteLater();
		}
		if (bone.open && !m_bone) {
			QWidget* panel = bone.ownedByModelPanel ? m_modelPanel() : nullptr;
			m_bone = new BoneDialog(m_viewer, panel ? panel : m_main);
			m_boneGeneration = bone.generation;
			connect(m_bone, &BoneDialog::changed, this, [this](Refresh changed) {
				m_sync(changed);
				m_redrawNow();
			});
			connect(m_bone, &BoneDialog::closed, this, [this] { m_sync(m_viewer.BoneDialogClosed()); });
			connect(m_bone, &BoneDialog::moved, this, m_redrawNow);
			m_bone->show();
		} else if (m_bone) {
			m_bone->ShowPositions();
		}
	}
	if (refresh & kMorphDialog)
		runMorphDialog();
}

void AnimWindows::runMorphDialog()
{
	QWidget* panel = m_modelPanel();
	MorphDialog dialog(m_viewer, panel ? panel : m_main);
	connect(&dialog, &MorphDialog::changed, this, [this](Refresh changed) {
		m_sync(changed);
		m_redrawNow();
	});
	connect(&dialog, &MorphDialog::moved, this, m_redrawNow);
	m_sync(kMenus | kAnimInfo | kRedraw); // opening it paused playback
	dialog.exec();
}

} // namespace zentarra::shell
