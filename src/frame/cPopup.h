#pragma once

#include "store/Recordset.h"

#include <QList>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class BrowserControl;
class DocumentWindow;
class Document;
class PopupWindow;
class QTimer;
struct EventRule;
class QWidget;
struct AppContext;
struct DomEvent;

// What the address box's Enter makes of the text typed.
namespace TypedAddress {
// A letter followed by a blank or "/" ("g cats", "w/cats"): a search through the search-engine
// table.
[[nodiscard]] bool isSearchShortcut(const QString &text);
// A bare word (no "." and no ":") becomes "http://www." + word + ".com/"; any other text is
// loaded as typed (the scheme completed the way a user means it: "example.org" is http).
[[nodiscard]] QUrl completed(const QString &text);
// Why the box must not load an address (scripts, command links, the program's private
// scheme); empty when it may.
[[nodiscard]] QString refusal(const QUrl &url);
} // namespace TypedAddress

// A drop-down list under a text box of one of the program's pages: the records of a store
// whose field contains the typed text, chosen with the arrow keys, Home, End, Page Up/Down,
// Tab or the mouse. The text box lives in a page; its DOM events come in through domEvent.
class cDropDownPopup : public QObject
{
    Q_OBJECT
public:
    // frame: the window the popup opens over.
    cDropDownPopup(AppContext &ctx, QWidget *frame);
    ~cDropDownPopup() override;

    // hTextbox: the id of the text box in hDoc. rs is cloned, so filtering the list never
    // moves the store's own cursor.
    void PopupInitializeClass(const QString &hTextbox, Document &hDoc, const Recordset &rs,
                              const QString &sFieldName);

    void SetAddrBoxDimensions(int left, int top, int width);
    void ShowFavorites();
    void PopupShow(int width, int left, int top);
    // With sID empty: the next entry down or up from the highlighted one (the first when none
    // is). sID receives the id highlighted.
    void HighlightSelection(bool bDown, QString &sID);
    void Scroll(bool bPageDown);
    void PopupClose();

    // Every DOM event of the page; those of the text box are handled. True when handled.
    bool domEvent(const DomEvent &event);

    // The control showing the box's page: the box is measured when it resizes, and the list
    // closes when the keyboard goes anywhere else.
    void setPane(BrowserControl &pane);
    // The rules the page needs for the box: Tab and F4 stay with the box.
    static QList<EventRule> eventRules(const QString &boxId);
    // Places the list under the box, whose rect is in the pane's page (CSS pixels).
    void placeUnder(const QRect &box);

    // The popup's own events.
    void DocPopup_onclick(const QString &id);
    void DocPopup_onmouseover(const QString &id);

    // The text box's text as last reported or written.
    QString text() const { return m_text; }
    void setText(const QString &text);
    PopupWindow *popup() const { return m_popup; }
    Document *document() const { return m_doc; }
    QString textBoxId() const { return m_boxId; }

    // State
    bool mbShown = false;
    bool mbScrolling = false;
    int miLastIndex = -1;
    QString msSelectedID;
    int miLeft = 0;
    int miTop = 0;
    int miWidth = 0;
    int miHeight = 0;
    bool mbTextChanged = false;
    bool mbJustFocused = false;
    QString sFieldName;
    // -1 (true): the session list is shown; 0: the store's list.
    int miListKind = 0;

protected:
    // False when a list of that many matches stays closed.
    virtual bool acceptsCount(int count) const { return count > 0; }
    virtual bool isShortcut(const QString &) const { return false; }
    // Enter, after a highlighted entry replaced the text.
    virtual void enter() { PopupClose(); }
    // Left, Right or a click on an entry: its text is in the box already.
    virtual void chosen() { PopupClose(); }
    virtual void focusLeft() {}
    virtual void boxFocused() { measureBox(); }
    // The title shown as an entry's tooltip.
    virtual QString titleField() const { return QString(); }
    // The list is at least this wide, whatever the box's width.
    virtual int minimumWidth() const { return 0; }

    void mhTextbox_onfocusin();
    void mhTextbox_onmouseup();
    void mhTextbox_onfocusout();
    void mhTextbox_ondblclick();
    void mhTextbox_onkeydown(int keyCode);
    void mhTextbox_onkeypress();
    void mhTextbox_onkeyup(int keyCode);
    void selectAll();
    void measureBox();
    bool eventFilter(QObject *watched, QEvent *event) override;

    AppContext &m_ctx;
    Document *m_doc = nullptr;
    QString m_boxId;
    Recordset m_source;            // the clone of the store given at initialisation
    Recordset *m_list = &m_source; // the list cursor
    PopupWindow *m_popup = nullptr;
    QString m_text;
    bool m_focused = false;
    bool m_selectedWithFocus = false;
    BrowserControl *m_paneControl = nullptr;
    QWidget *m_pane = nullptr;
    QTimer *m_measure = nullptr;
};

// The address box of the top bar: favorites whose address contains the typed text (fewer than
// 25), the pages of this session read and no longer loaded, and Enter loading into the current
// window.
class cPopup : public cDropDownPopup
{
    Q_OBJECT
public:
    cPopup(AppContext &ctx, QWidget *frame);

    // topBar: the top bar page holding "AddrBox" and "selHistory".
    void PopupInitializeClass(Document &topBar);
    // The "selHistory" button: opens or closes the session list.
    void ShowHistory();
    // Gives the box the keyboard focus (the frame gives its pane the focus first).
    void focusBox();
    // The current window's address changed or another window became current.
    void showAddress(const QString &url);

    bool domEvent(const DomEvent &event);

    // The search shortcut of the top bar (its OpenSearchShortcut); set by the frame.
    std::function<void(const QString &text)> OpenSearchShortcut;
    // Called with a message when an address is refused.
    std::function<void(const QString &message)> refused;

    static QList<EventRule> eventRules() { return cDropDownPopup::eventRules(kBoxId); }
    static inline const QString kBoxId = QStringLiteral("AddrBox");

protected:
    bool acceptsCount(int count) const override { return count > 0 && count < 25; }
    bool isShortcut(const QString &text) const override
    {
        return TypedAddress::isSearchShortcut(text);
    }
    void enter() override;
    void chosen() override;
    void focusLeft() override;
    QString titleField() const override { return QStringLiteral("Title"); }
    // Wide enough for an address even under a narrow box.
    int minimumWidth() const override { return 420; }

private:
    void load(const QString &text);
    DocumentWindow *currentWindow() const;
    void showCurrentAddress();
    void focusCurrentWindow();

    Recordset m_session;
    QString m_address;
};

// A drop-down of the given texts under the field fieldId of the page in control, over window
// (which owns it). Gives back where the page's DOM events go (true for those it took); the page
// also needs the field's eventRules.
std::function<bool(const DomEvent &)> AttachFieldDropDown(AppContext &ctx, QWidget &window,
                                                          BrowserControl &control,
                                                          const QString &fieldId,
                                                          const QStringList &entries);
