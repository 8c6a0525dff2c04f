#include "shell/gl_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QWheelEvent>

namespace zentarra::shell {

std::optional<InputKey> KeyOf(int qtKey, Qt::KeyboardModifiers modifiers)
{
	if (modifiers & Qt::KeypadModifier) {
		switch (qtKey) {
		case Qt::Key_2:
		case Qt::Key_Down:
			return InputKey::Numpad2;
		case Qt::Key_3:
		case Qt::Key_PageDown:
			return InputKey::Numpad3;
		case Qt::Key_4:
		case Qt::Key_Left:
			return InputKey::Numpad4;
		case Qt::Key_6:
		case Qt::Key_Right:
			return InputKey::Numpad6;
		case Qt::Key_8:
		case Qt::Key_Up:
			return InputKey::Numpad8;
		case Qt::Key_9:
		case Qt::Key_PageUp:
			return InputKey::Numpad9;
		case Qt::Key_Plus:
			return InputKey::NumpadPlus;
		case Qt::Key_Minus:
			return InputKey::NumpadMinus;
		case Qt::Key_Enter:
			return InputKey::Enter;
		default:
			return std::nullopt;
		}
	}
	switch (qtKey) {
	case Qt::Key_Tab:
		return InputKey::Tab;
	case Qt::Key_Return:
	case Qt::Key_Enter:
		return InputKey::Enter;
	case Qt::Key_Shift:
		return InputKey::Shift;
	case Qt::Key_Control:
		return InputKey::Ctrl;
	case Qt::Key_Space:
		return InputKey::Space;
	case Qt::Key_PageUp:
		return InputKey::PageUp;
	case Qt::Key_PageDown:
		return InputKey::PageDown;
	case Qt::Key_Left:
		return InputKey::Left;
	case Qt::Key_Right:
		return InputKey::Right;
	case Qt::Key_Up:
		return InputKey::Up;
	case Qt::Key_Down:
		return InputKey::Down;
	case Qt::Key_F1:
		return InputKey::F1;
	case Qt::Key_F2:
		return InputKey::F2;
	case Qt::Key_F3:
		return InputKey::F3;
	case Qt::Key_F4:
		return InputKey::F4;
	case Qt::Key_F5:
		return InputKey::F5;
	case Qt::Key_F6:
		return InputKey::F6;
	case Qt::Key_F7:
		return InputKey::F7;
	case Qt::Key_F8:
		return InputKey::F8;
	case Qt::Key_Escape:
		return InputKey::Escape;
	default:
		return std::nullopt;
	}
}

GLView::GLView(const ViewerState& state, QWidget* parent) : QOpenGLWidget(parent), m_state(state)
{
	setFocusPolicy(Qt::StrongFocus);
	// every move records the pointer, so a drag never starts with a jump
	setMouseTracking(true);
}

GLView::~GLView()
{
	// the base class destroys the context after this object has become a
	// plain QOpenGLWidget: the signal must not reach releaseGL then
	if (context())
		disconnect(context(), nullptr, this, nullptr);
	releaseGL();
}

void GLView::releaseGL()
{
	if (!context())
		return;
	makeCurrent();
	m_renderer.ReleaseGL();
	doneCurrent();
}

void GLView::initializeGL()
{
	connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &GLView::releaseGL, Qt::DirectConnection);
	m_renderer.InitGL();
}

void GLView::paintGL()
{
	// Qt has bound the widget's own framebuffer: draw into it, never into 0
	const qreal ratio = devicePixelRatioF();
	const int width = int(qreal(this->width()) * ratio);
	const int height = int(qreal(this->height()) * ratio);
	m_renderer.Resize(width, height, m_state.MV.radius * 50.0f, m_state.disp.view);
	m_renderer.Draw(m_state);
	emit frameDrawn();
}

bool GLView::event(QEvent* event)
{
	// Tab belongs to the view, not to the focus chain
	if (event->type() == QEvent::KeyPress) {
		auto* key = static_cast<QKeyEvent*>(event);
		if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
			keyPressEvent(key);
			return true;
		}
	}
	return QOpenGLWidget::event(event);
}

void GLView::keyPressEvent(QKeyEvent* event)
{
	if (const std::optional<InputKey> key = KeyOf(event->key(), event->modifiers())) {
		emit keyDown(*key, event->modifiers().testFlag(Qt::ControlModifier));
		return;
	}
	QOpenGLWidget::keyPressEvent(event);
}

void GLView::keyReleaseEvent(QKeyEvent* event)
{
	if (event->isAutoRepeat())
		return;
	if (const std::optional<InputKey> key = KeyOf(event->key(), event->modifiers()))
		emit keyUp(*key);
}

void GLView::mousePressEvent(QMouseEvent* event)
{
	emit mousePressed();
	mouseMoveEvent(event);
}

void GLView::mouseMoveEvent(QMouseEvent* event)
{
	unsigned buttons = 0;
	if (event->buttons() & Qt::LeftButton)
		buttons |= kLeftButton;
	if (event->buttons() & Qt::RightButton)
		buttons |= kRightButton;
	if (event->buttons() & Qt::MiddleButton)
		buttons |= kMiddleButton;
	if (event->modifiers() & Qt::ControlModifier)
		buttons |= kCtrlKey;
	const QPoint at = event->position().toPoint();
	emit mouseMoved(buttons, at.x(), at.y());
}

void GLView::wheelEvent(QWheelEvent* event)
{
	emit wheelTurned(event->angleDelta().y());
}

} // namespace zentarra::shell
