#pragma once

#include "platform/BrowserControl.h"
#include "platform/Document.h"

#include <QString>

class DocumentWindow;
class Navigator;
class Reader;

// The right button and the context menu over a document window: which menu shows (the
// engine's, the program's document or form-field menu, none), the link a right-click takes
// over, the rocker gesture, and the element marked while the program's menu is open.
class ContextMenuHandler
{
public:
    ContextMenuHandler(Reader &reader, Navigator &nav);

    // The control's mouse buttons, seen on their way to the page.
    void buttonPressed(const MouseInfo &mouse);
    void buttonReleased(const MouseInfo &mouse);
    // The page's own report of a right click: the element and the word under the pointer.
    void pageReported(const DocumentWindow &w, const DomEvent &event);
    // True to let the engine show its own menu.
    bool menuRequested(DocumentWindow &w, const ContextMenuInfo &info);
    void setActiveStyle(Document &doc, const ElementSnapshot &element);
    void resetStyle(Document &doc);
    // The program's document menu has closed: the marked element gets its style back.
    void menuClosed();
    void formFieldCommand(const QString &command);
    void forget(const DocumentWindow &w);

private:
    Reader &m_reader;
    Navigator &m_nav;
    Qt::MouseButtons m_buttonsHeld = Qt::NoButton;
    Qt::KeyboardModifiers m_rightPressModifiers = Qt::NoModifier;
    qint64 m_activeStyleHandle = 0;
    const DocumentWindow *m_activeStyleWindow = nullptr;
    QString m_savedStyle;
    // The page's contextmenu event of the right click being answered. It belongs to that
    // click only when it came after the click's press (m_rightPresses counts them); a stale
    // one from an earlier click would put the menu on the wrong element.
    ElementSnapshot m_lastContextElement;
    QString m_lastContextWord;
    const DocumentWindow *m_lastContextWindow = nullptr;
    quint64 m_rightPresses = 0;
    quint64 m_lastContextPress = ~quint64(0);
    int m_formFieldSlot = -1; // the window whose field the form-field menu is for
};
