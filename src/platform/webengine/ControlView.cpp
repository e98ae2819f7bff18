#include "ControlView.h"

#include "WebEngineControl.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace skl_webengine {

ControlWidget::ControlWidget(WebEngineControl *control) : m_control(control)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

void ControlWidget::key(QKeyEvent *e, bool press)
{
    // Only keys that went to the page first (the focus was in one of its fields); the
    // others reached the program before the page. A key that came past a new input
    // widget of the view, before the filter was on it, is handled here as it was.
    if (!m_control ||
        (m_control->keysFiltered() && !m_control->m_keysAfterPage.contains(e->key()))) {
        e->ignore();
        return;
    }
    // The page lets every key's release through, also of keys typed into its fields: a
    // release counts only when the page left its press to the program too.
    if (press) {
        m_unhandledPresses.insert(e->key());
    } else {
        const bool pressUnhandled = m_unhandledPresses.contains(e->key());
        if (!e->isAutoRepeat())
            m_unhandledPresses.remove(e->key());
        if (!pressUnhandled) {
            e->ignore();
            return;
        }
    }
    e->setAccepted(m_control->deliverKey(*e));
}

ControlView::ControlView(WebEngineControl *control, QWidget *parent)
    : QWebEngineView(parent), m_control(control)
{
    installEventFilter(this);
}

void ControlView::showMenu(const QPoint &pos, const QPoint &globalPos)
{
    if (!m_control || !m_control->contextMenu(pos))
        return;
    QContextMenuEvent e(QContextMenuEvent::Mouse, pos, globalPos);
    QWebEngineView::contextMenuEvent(&e);
}

void ControlView::watchProxy()
{
    QWidget *proxy = focusProxy();
    if (proxy == m_proxy)
        return;
    if (m_proxy)
        m_proxy->removeEventFilter(this);
    m_proxy = proxy;
    if (m_proxy)
        m_proxy->installEventFilter(this);
}

void ControlView::contextMenuEvent(QContextMenuEvent *e)
{
    if (e->reason() == QContextMenuEvent::Mouse && m_rightHeld) {
        m_pendingMenu = std::pair{e->pos(), e->globalPos()};
        return;
    }
    showMenu(e->pos(), e->globalPos());
}

bool ControlView::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == this) {
        if (e->type() == QEvent::ChildAdded || e->type() == QEvent::ChildPolished)
            watchProxy();
        return false;
    }
    if (watched != m_proxy || !m_control)
        return false;
    BrowserControlListener *listener = m_control->m_listener;
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease: {
        auto *me = static_cast<QMouseEvent *>(e);
        m_control->recordInput(me->button(), me->modifiers(), true);
        if (me->button() == Qt::RightButton) {
            m_rightHeld = e->type() != QEvent::MouseButtonRelease;
            if (!m_rightHeld && m_pendingMenu) {
                // After the release has reached the page.
                const auto at = *std::exchange(m_pendingMenu, std::nullopt);
                QPointer<ControlView> self(this);
                QMetaObject::invokeMethod(
                    this,
                    [self, at] {
                        if (self)
                            self->showMenu(at.first, at.second);
                    },
                    Qt::QueuedConnection);
            } else if (m_rightHeld) {
                m_pendingMenu.reset();
            }
        }
        if (!listener)
            return false;
        MouseInfo m;
        m.button = me->button();
        m.buttons = me->buttons();
        m.modifiers = me->modifiers();
        m.position = me->position().toPoint();
        m.doubleClick = e->type() == QEvent::MouseButtonDblClick;
        return e->type() == QEvent::MouseButtonRelease
                   ? listener->mouseButtonReleased(*m_control, m)
                   : listener->mouseButtonPressed(*m_control, m);
    }
    case QEvent::ShortcutOverride:
        if (!m_control->keepsFromShortcuts(*static_cast<QKeyEvent *>(e)))
            return false;
        e->accept(); // the key comes as an ordinary key press to the page
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto *ke = static_cast<QKeyEvent *>(e);
        if (e->type() == QEvent::KeyPress)
            m_control->recordInput(Qt::NoButton, ke->modifiers(), false);
        return m_control->keyBeforePage(*ke);
    }
    case QEvent::Wheel: {
        if (!listener)
            return false;
        auto *we = static_cast<QWheelEvent *>(e);
        WheelInfo w;
        w.delta = we->angleDelta().y();
        w.modifiers = we->modifiers();
        w.buttons = we->buttons();
        w.position = we->position().toPoint();
        return listener->wheelEvent(*m_control, w);
    }
    default:
        return false;
    }
}

} // namespace skl_webengine
