#include "shell/background_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

namespace zentarra::shell {

BackgroundDialog::BackgroundDialog(Viewer& viewer, QWidget* owner)
	: QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_viewer(viewer)
{
	setWindowTitle("Background Color");
	auto* grid = new QGridLayout(this);
	const char* names[3] = {"Red", "Green", "Blue"};
	for (int i = 0; i < 3; ++i) {
		auto* slider = new QSlider(Qt::Horizontal, this);
		slider->setRange(0, 255);
		slider->setMinimumWidth(200);
		auto* text = new QLabel("00", this);
		text->setMinimumWidth(text->fontMetrics().horizontalAdvance("0000"));
		grid->addWidget(new QLabel(names[i], this), i, 0);
		grid->addWidget(slider, i, 1);
		grid->addWidget(text, i, 2);
		m_sliders[std::size_t(i)] = slider;
		m_texts[std::size_t(i)] = text;
		connect(slider, &QSlider::valueChanged, this, [this] {
			showValues(m_viewer.BackgroundSlidersMoved({m_sliders[0]->value(), m_sliders[1]->value(), m_sliders[2]->value()}));
			emit colorChanged();
		});
	}
	auto* ok = new QPushButton("OK", this);
	auto* cancel = new QPushButton("Cancel", this);
	ok->setObjectName("ok");
	cancel->setObjectName("cancel");
	ok->setAutoDefault(false);
	cancel->setAutoDefault(false);
	auto* buttons = new QHBoxLayout;
	buttons->addStretch();
	buttons->addWidget(ok);
	buttons->addWidget(cancel);
	grid->addLayout(buttons, 3, 0, 1, 3);
	connect(ok, &QPushButton::clicked, this, [this] { done(Accepted); });
	connect(cancel, &QPushButton::clicked, this, [this] {
		m_viewer.BackgroundDialogCancelled();
		emit colorChanged();
		done(Rejected);
	});

	showValues(m_viewer.BackgroundDialogOpened());
	layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void BackgroundDialog::showValues(const BackgroundDialogValues& values)
{
	for (std::size_t i = 0; i < 3; ++i) {
		const QSignalBlocker quiet(m_sliders[i]);
		m_sliders[i]->setValue(values.positions[i]);
		m_texts[i]->setText(QString::fromStdString(values.texts[i]));
	}
}

void BackgroundDialog::reject()
{
}

void BackgroundDialog::keyPressEvent(QKeyEvent* event)
{
	if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
		return;
	QDialog::keyPressEvent(event);
}

} // namespace zentarra::shell
