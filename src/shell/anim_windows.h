// The animation's tool windows: Animation Info (modeless, its four texts),
// Rotate Bone (modeless, three sliders for the bone's rotation) and Morph
// Target (modal, one slider for a morph weight). Each slider move re-poses
// the model and redraws the view at once.
#pragma once

#include "view/viewer.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <functional>

class QLabel;
class QSlider;

namespace zentarra::shell {

// A modeless tool window that deletes itself when closed and tells the main
// window when it is closed or moved.
class ToolWindow : public QDialog {
	Q_OBJECT

public:
	explicit ToolWindow(QWidget* owner);

signals:
	void closed();
	void moved();

protected:
	void closeEvent(QCloseEvent* event) override;
	void moveEvent(QMoveEvent* event) override;
};

class AnimInfoWindow : public ToolWindow {
	Q_OBJECT

public:
	AnimInfoWindow(QWidget* owner);
	void ShowTexts(const AnimInfoTexts& texts);
	// 0 type, 1 current frame, 2 number of frames, 3 speed
	QLabel* value(int i) const { return m_values[std::size_t(i)]; }

private:
	std::array<QLabel*, 4> m_values{};
};

class BoneDialog : public ToolWindow {
	Q_OBJECT

public:
	BoneDialog(Viewer& viewer, QWidget* owner);
	QSlider* slider(int axis) const { return m_sliders[std::size_t(axis)]; }
	// The sliders from the bone's rotation, without moving it.
	void ShowPositions();

signals:
	// A slider moved or Reset: what the main window has to refresh.
	void changed(zentarra::Refresh refresh);

private:
	Viewer& m_viewer;
	std::array<QSlider*, 3> m_sliders{};
};

class MorphDialog : public QDialog {
	Q_OBJECT

public:
	MorphDialog(Viewer& viewer, QWidget* owner);
	QSlider* slider() const { return m_slider; }
	QLabel* text() const { return m_text; }

signals:
	void changed(zentarra::Refresh refresh);
	void moved();

public slots:
	void reject() override; // no close box: OK is the only way out

protected:
	void keyPressEvent(QKeyEvent* event) override;
	void moveEvent(QMoveEvent* event) override;

private:
	void showPosition(int position);

	Viewer& m_viewer;
	QSlider* m_slider;
	QLabel* m_text;
};

// Keeps the three windows in line with the viewer; the main window hands
// it every refresh.
class AnimWindows : public QObject {
	Q_OBJECT

public:
	// `sync` refreshes the main window, `owner` gives the model panel (or null).
	AnimWindows(Viewer& viewer, QWidget* main, std::function<void(Refresh)> sync,
		std::function<QWidget*()> modelPanel, std::function<void()> redrawNow);

	void Sync(Refresh refresh);
	AnimInfoWindow* infoWindow() const { return m_info; }
	BoneDialog* boneDialog() const { return m_bone; }

private:
	void runMorphDialog();

	Viewer& m_viewer;
	QWidget* m_main;
	std::function<void(Refresh)> m_sync;
	std::function<QWidget*()> m_modelPanel;
	std::function<void()> m_redrawNow;
	QPointer<AnimInfoWindow> m_info;
	QPointer<BoneDialog> m_bone;
	int m_boneGeneration = -1;
};

} // namespace zentarra::shell
