#pragma once

#include "platform/BrowserControl.h"
#include "platform/Document.h"
#include "reader/CommandLinks.h"
#include "reader/ContextMenuHandler.h"
#include "reader/DocumentWheel.h"
#include "reader/KeyCommands.h"
#include "reader/NavigationRules.h"
#include "reader/OpenAllLinks.h"
#include "reader/WheelGestures.h"

#include <QHash>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QUrl>

#include <functional>
#include <map>
#include <memory>

class DocumentWindow;
class Reader;

// Where followed links go and what the user's keys and mouse do in a document window: the
// window's BeforeNavigate2 and NewWindow2, the command links of the program's pages, the key
// tables, the document's events, and the OpenLinks menu; the wheel and the context menu (the
// shared cDoc) are handled by classes of their own. One per program, beside the pool and the
// queue.
class Navigator
{
public:
    explicit Navigator(Reader &reader);
    ~Navigator();
    Navigator(const Navigator &) = delete;
    Navigator &operator=(const Navigator &) = delete;

    // The command links; features register the codes they serve.
    CommandLinks &commands() { return m_commands; }

    // The window's document events come here from now on (until detach or the window goes).
    void attach(DocumentWindow &w);
    void detach(DocumentWindow &w);

    // gbTextEntry: set while a field of the reading page or of the program's own panes has
    // the keyboard. A page's field stops counting when its window is left or gets a new
    // document, whether or not the page still reports the focus leaving it.
    void setProgramFieldFocused(bool focused);
    void pageFieldGone(DocumentWindow &w);

    // ---- navigation interception ----
    // True to cancel the navigation.
    bool brwWebBrowser_BeforeNavigate2(DocumentWindow &w, const BeforeNavigateInfo &info);
    // The control that loads the request, or nullptr to refuse it.
    BrowserControl *brwWebBrowser_NewWindow2(DocumentWindow &w, const NewWindowInfo &info);
    // Loads an address as if the user had clicked it in w (the "loc" command, a search, a link
    // taken over by the context menu): in place or through LoadDocument, as the mode says.
    // source: the kind of page the address comes from; a web page reaches neither the
    // program's commands nor its pages.
    void routeLikeClick(DocumentWindow &w, const QString &url, Qt::KeyboardModifiers modifiers,
                        NavigationSource source, const QByteArray &postData = QByteArray(),
                        const QString &headers = QString());
    void OpenFeedViewer(const QString &url);
    void SetOfflineMode(bool bOffline);
    // Downloads the engine makes (the extensions left to it): saved in the download folder.
    QString downloadRequested(DocumentWindow &w, const QUrl &url, const QString &suggestedName);
    void downloadFinished(DocumentWindow &w, const QString &path, bool ok);
    static QString downloadFolder();

    // The start page's numbered options (skl:str).
    void zStartPageOptions(int option);

    // The window's private flags of the interception.
    bool linkClicked(const DocumentWindow &w) const;
    bool cancelNextNavigation(const DocumentWindow &w) const;

    // ---- keys ----
    // True when the key was acted on.
    bool Form_KeyDown(DocumentWindow &w, const KeyInfo &key);
    bool Form_KeyUp(DocumentWindow &w, const KeyInfo &key);

    // ---- the document's events ----
    void domEvent(DocumentWindow &w, const DomEvent &event);
    void Doc_onclick(DocumentWindow &w, const DomEvent &event);
    void Doc_ondblclick(DocumentWindow &w, const DomEvent &event);
    void Doc_onfocusin(DocumentWindow &w, const DomEvent &event);
    void Doc_onfocusout(DocumentWindow &w, const DomEvent &event);
    void Doc_onkeydown(DocumentWindow &w, const DomEvent &event);
    void Doc_onmousedown(DocumentWindow &w, const DomEvent &event);
    void Doc_onmouseover(DocumentWindow &w, const DomEvent &event);
    void Doc_oncontextmenu(DocumentWindow &w, const DomEvent &event);

    // ---- the shared document handler (cDoc) ----
    // True when the turn was used (the engine does not scroll).
    bool OnMouseWheel(DocumentWindow &w, const WheelInfo &wheel);
    // The control's mouse buttons, seen on their way to the page; true to consume.
    bool mouseButtonPressed(DocumentWindow &w, const MouseInfo &mouse);
    bool mouseButtonReleased(DocumentWindow &w, const MouseInfo &mouse);
    // True to let the engine show its own menu.
    bool OnContextMenu(DocumentWindow &w, const ContextMenuInfo &info);
    void SetActiveStyle(Document &doc, const ElementSnapshot &element);
    void ResetStyle(Document &doc);
    // The program's document menu has closed: the marked element gets its style back.
    void contextMenuClosed();
    // The form-field menu's choice for the field that was right-clicked: "sklPaste" pastes
    // the clipboard, "sklEdit" opens the form-data editor, any other text is typed in.
    void FormFieldCommand(const QString &command);

    bool gbSuppressContextMenu = false;
    int miZoom = 100;          // the zoom percentage of the last zoomed document
    QString gsSelectedText;    // the word or selection the selection commands work on
    QString gsFormDataCommand; // the form-field menu's last choice

    // ---- open all links ----
    void mnuOL_OpenAllLinks_Click(int index);
    // The OpenLinks menu opens: whether item 4 (selected links) is enabled.
    bool mnuOpenLinks_Click() const;

    // What the frame and later features supply. Each may be empty: the command then does
    // nothing (the key is not consumed, the engine's menu shows instead of the program's).
    struct Hooks
    {
        // Commands of the main frame reached from keys (address box, Open, Save As, Print
        // Preview, site home, fonts, images, sidebar tab, form data). True when done.
        std::function<bool(KeyCommand, DocumentWindow &)> frameCommand;
        // The frame's document menu with the stored word or selection, at a point of the
        // window's control. The menu may stay open after the call; the frame calls
        // contextMenuClosed when it goes.
        std::function<void(DocumentWindow &, const QString &text, const QPoint &)> documentMenu;
        // The frame's form-field menu; the chosen item comes back through FormFieldCommand.
        std::function<void(DocumentWindow &, const QPoint &)> formFieldMenu;
        // The form-data editor for a field, and a double-click on one.
        std::function<void(DocumentWindow &)> formDataEditor;
        std::function<void(DocumentWindow &, const ElementSnapshot &)> formFieldDoubleClick;
        // Start-page options of the frame (the ones the reading workflow does not run itself).
        std::function<bool(int)> startPageOption;
        // A form submission is being captured for the favorite editor.
        std::function<bool()> formCapturePending;
        std::function<void(DocumentWindow &, const BeforeNavigateInfo &)> captureForm;
    } hooks;

private:
    struct WindowFlags
    {
        bool mbLinkClicked = false;
        bool mbCancelNextNavigation = false;
        // The modifiers of the click that asked for a new window, for NewWindow2.
        QUrl newWindowUrl;
        Qt::KeyboardModifiers newWindowModifiers = Qt::NoModifier;
    };
    class DocSink;

    WindowFlags &flags(const DocumentWindow &w);
    DocumentWindow *current() const;
    void applyRouted(DocumentWindow &w, const NavDecision &d, const QString &url,
                     const QByteArray &postData, const QString &headers);
    void showStatusBriefly(const QString &text, int ms);
    void runCommand(DocumentWindow &w, const QString &url, NavigationSource source,
                    Qt::KeyboardModifiers modifiers);
    void registerOwnCommands();
    void scrollPage(DocumentWindow &w, int direction);
    // Gives the keyboard to frame frameIndex of the window's document (cFrame's zSetFocus).
    void focusFrame(DocumentWindow &w, int frameIndex);
    bool textEntryElement(const ElementSnapshot &e) const;

    Reader &m_reader;
    CommandLinks m_commands;
    QHash<const DocumentWindow *, WindowFlags> m_flags;
    std::map<const DocumentWindow *, std::unique_ptr<DocSink>> m_sinks;
    DocumentWheel m_wheel;
    ContextMenuHandler m_menus;
    const DocumentWindow *m_textEntryWindow = nullptr; // whose page field has the keyboard
    bool m_programFieldFocused = false;
    QObject m_guard; // timers die with the navigator

    void updateTextEntry();
};
