// The 3-D view: a GL widget that draws the viewer's state with the renderer
// and turns keys, mouse and wheel into the viewer's input.
#pragma once

#include "render/renderer.h"
#include "view/view_state.h"

#include <QOpenGLWidget>

#include <optional>

namespace zentarra::shell {

// The viewer's key for a Qt key event; nothing for keys it does not know.
// Keypad keys are told apart from the digit row and the arrows, whatever
// the state of Num Lock.
std::optional<InputKey> KeyOf(int qtKey, Qt::KeyboardModifiers modifiers);

class GLView : public QOpenGLWidget {
	Q_OBJECT

public:
	explicit GLView(const ViewerState& state, QWidget* parent = nullptr);
	~GLView() override;

	render::Renderer& renderer() { return m_renderer; }

signals:
	void keyDown(zentarra::InputKey key, bool ctrl);
	void keyUp(zentarra::InputKey key);
	void mousePressed();
	void mouseMoved(unsigned buttons, int x, int y);
	void wheelTurned(int delta);
	// After every frame drawn: the animation steps once per frame.
	void frameDrawn();

protected:
	void initializeGL() override;
	void paintGL() override;
	bool event(QEvent* event) override;
	void keyPressEvent(QKeyEvent* event) override;
	void keyReleaseEvent(QKeyEvent* event) override;
	void mousePressEvent(QMouseEvent* event) override;
	void mouseMoveEvent(QMouseEvent* event) override;
	void wheelEvent(QWheelEvent* event) override;

private:
	void releaseGL();

	const ViewerState& m_state;
	render::Renderer m_renderer;
};

} // namespace zentarra::shell
