#pragma once

#include <QPointer>
#include <QSet>
#include <QWebEngineView>
#include <QWidget>

#include <optional>
#include <utility>

class QKeyEvent;
class WebEngineControl;

namespace skl_webengine {

// Holds the view; the view hands it the key events the page did not consume.
class ControlWidget : public QWidget
{
public:
    explicit ControlWidget(WebEngineControl *control);
    WebEngineControl *m_control;
    QSet<int> m_unhandledPresses;

protected:
    void keyPressEvent(QKeyEvent *e) override { key(e, true); }
    void keyReleaseEvent(QKeyEvent *e) override { key(e, false); }

private:
    void key(QKeyEvent *e, bool press);
};

// The engine's view with the program's input in front of the page: mouse buttons, keys and the
// wheel go to the control's listener first, through a filter on the view's input widget.
class ControlView : public QWebEngineView
{
public:
    ControlView(WebEngineControl *control, QWidget *parent);
    WebEngineControl *m_control;
    QPointer<QWidget> m_proxy;
    // This engine asks for the context menu when the right button goes down; the program
    // decides on the release, after what the user did with the button held (a wheel turn
    // means no menu).
    bool m_rightHeld = false;
    std::optional<std::pair<QPoint, QPoint>> m_pendingMenu; // position, global position

    void showMenu(const QPoint &pos, const QPoint &globalPos);
    void watchProxy();

protected:
    void contextMenuEvent(QContextMenuEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;
};

} // namespace skl_webengine
