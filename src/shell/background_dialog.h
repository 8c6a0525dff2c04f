// The Background Color dialog: three sliders for red, green and blue with
// their values as three digits; the view follows the sliders; OK keeps the
// colour, Cancel brings back the one the dialog opened with. Only the two
// buttons close it.
#pragma once

#include "view/viewer.h"

#include <QDialog>

#include <array>

class QLabel;
class QSlider;

namespace zentarra::shell {

class BackgroundDialog : public QDialog {
	Q_OBJECT

public:
	BackgroundDialog(Viewer& viewer, QWidget* owner);

	QSlider* slider(int channel) const { return m_sliders[std::size_t(channel)]; }
	QLabel* valueText(int channel) const { return m_texts[std::size_t(channel)]; }

signals:
	void colorChanged();

public slots:
	void reject() override; // Escape does not close it

protected:
	void keyPressEvent(QKeyEvent* event) override;

private:
	void showValues(const BackgroundDialogValues& values);

	Viewer& m_viewer;
	std::array<QSlider*, 3> m_sliders{};
	std::array<QLabel*, 3> m_texts{};
};

} // namespace zentarra::shell
