#include "frame/cPopup.h"

#include "frame/PopupWindow.h"
#include "platform/BrowserControl.h"
#include "platform/Document.h"
#include "platform/PageWriter.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"
#include "store/Stores.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>

#include <utility>

namespace TypedAddress {

bool isSearchShortcut(const QString &text)
{
    return text.size() >= 2 && (text.at(1) == QLatin1Char(' ') || text.at(1) == QLatin1Char('/'));
}

QUrl completed(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QUrl();
    if (!t.contains(QLatin1Char('.')) && !t.contains(QLatin1Char(':')))
        return QUrl(QStringLiteral("http://www.") + t + QStringLiteral(".com/"), QUrl::StrictMode);
    return QUrl::fromUserInput(t);
}

QString refusal(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("javascript"))
        return QStringLiteral("Scripts cannot be run from the address box.");
    if (ProgramPages::isCommandLink(url))
        return QStringLiteral("Skimline commands work only from Skimline's own pages.");
    if (ProgramPages::hasProgramScheme(url))
        return QStringLiteral(
            "Skimline's own pages open from its menus, not from the address box.");
    return QString();
}

} // namespace TypedAddress

namespace {

constexpr int kTab = 9, kEnter = 13, kPageUp = 33, kPageDown = 34, kEnd = 35, kHome = 36,
              kLeft = 37, kUp = 38, kRight = 39, kDown = 40, kBackspace = 8, kDelete = 46,
              kF4 = 115;

} // namespace

// ---- cDropDownPopup ----

cDropDownPopup::cDropDownPopup(AppContext &ctx, QWidget *frame)
    : QObject(frame), m_ctx(ctx), m_popup(new PopupWindow(frame))
{
    connect(m_popup, &PopupWindow::entryHovered, this, &cDropDownPopup::DocPopup_onmouseover);
    connect(m_popup, &PopupWindow::entryClicked, this, &cDropDownPopup::DocPopup_onclick);
    // The list belongs to the box: it closes when the keyboard goes elsewhere (a click into a
    // document, another program).
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (!mbShown || !m_pane)
            return;
        if (now && (now == m_pane || m_pane->isAncestorOf(now)))
            return;
        PopupClose();
        if (!m_focused)
            focusLeft();
    });
}

cDropDownPopup::~cDropDownPopup()
{
    delete m_popup;
}

void cDropDownPopup::PopupInitializeClass(const QString &hTextbox, Document &hDoc,
                                          const Recordset &rs, const QString &field)
{
    m_boxId = hTextbox;
    m_doc = &hDoc;
    m_source = rs.State() ? rs.Clone() : Recordset();
    m_list = &m_source;
    sFieldName = field;
}

void cDropDownPopup::SetAddrBoxDimensions(int left, int top, int width)
{
    miLeft = left;
    miTop = top;
    miWidth = width;
    if (mbShown)
        m_popup->showAt(miLeft, miTop, miWidth, miHeight);
}

void cDropDownPopup::setText(const QString &text)
{
    m_text = text;
    if (m_doc)
        m_doc->setValue(m_boxId, text);
}

void cDropDownPopup::ShowFavorites()
{
    if (m_text.size() < 2 || !m_source.State())
        return;
    m_list = &m_source;
    miListKind = 0;
    if (!m_source.SetFilter(sFieldName + QStringLiteral(" LIKE '*") + FilterText(m_text) +
                            QStringLiteral("*'")) ||
        !acceptsCount(m_source.RecordCount())) {
        PopupClose();
        return;
    }
    PopupShow(miWidth, miLeft, miTop);
}

void cDropDownPopup::PopupShow(int width, int left, int top)
{
    if (!m_list->State() || m_list->RecordCount() == 0) {
        PopupClose();
        return;
    }
    setProgramFieldFocused(m_ctx, true);
    msSelectedID.clear();
    miLeft = left;
    miTop = top;
    miWidth = width;
    QList<PopupWindow::Entry> entries;
    const QString title = titleField();
    for (m_list->MoveFirst(); !m_list->isEOF(); m_list->MoveNext()) {
        entries.append({m_list->Field(sFieldName).toString(),
                        title.isEmpty() ? QString() : m_list->Field(title).toString()});
    }
    m_popup->setEntries(entries);
    miLastIndex = int(entries.size()) - 1;
    miHeight = m_popup->contentHeight();
    const int available = m_popup->availableHeight();
    mbScrolling = miHeight + 3 * miTop > available;
    if (mbScrolling)
        miHeight = qMax(m_popup->contentHeight() / qMax(1, int(entries.size())) * 3,
                        available - 3 * miTop);
    m_popup->setScrolling(mbScrolling);
    mbShown = true;
    m_popup->showAt(miLeft, miTop, miWidth, miHeight);
}

void cDropDownPopup::HighlightSelection(bool bDown, QString &sID)
{
    if (miLastIndex < 0)
        return;
    if (sID.isEmpty()) {
        const int current = m_popup->indexOf(msSelectedID);
        if (current < 0)
            sID = PopupWindow::entryId(0);
        else
            sID =
                PopupWindow::entryId(bDown ? qMin(current + 1, miLastIndex) : qMax(current - 1, 0));
    }
    m_popup->setHighlighted(sID);
    msSelectedID = m_popup->highlighted();
}

void cDropDownPopup::Scroll(bool bPageDown)
{
    m_popup->scrollPage(bPageDown);
    QString id = m_popup->firstVisibleId();
    HighlightSelection(bPageDown, id);
}

void cDropDownPopup::PopupClose()
{
    miListKind = 0;
    m_list = &m_source;
    mbShown = false;
    msSelectedID.clear();
    m_popup->setEntries({});
    m_popup->hide();
}

bool cDropDownPopup::domEvent(const DomEvent &event)
{
    if (m_boxId.isEmpty() || event.source.id != m_boxId)
        return false;
    m_text = event.source.value;
    switch (event.type) {
    case DomEventType::FocusIn:
        mhTextbox_onfocusin();
        break;
    case DomEventType::MouseUp:
        mhTextbox_onmouseup();
        break;
    case DomEventType::FocusOut:
        mhTextbox_onfocusout();
        break;
    case DomEventType::DblClick:
        mhTextbox_ondblclick();
        break;
    case DomEventType::KeyDown:
        mhTextbox_onkeydown(event.keyCode);
        break;
    case DomEventType::KeyPress:
        mhTextbox_onkeypress();
        break;
    case DomEventType::KeyUp:
        mhTextbox_onkeyup(event.keyCode);
        break;
    default:
        return false;
    }
    return true;
}

void cDropDownPopup::selectAll()
{
    if (m_doc)
        m_doc->selectText(m_boxId);
}

void cDropDownPopup::mhTextbox_onfocusin()
{
    boxFocused();
    m_focused = true;
    if (!std::exchange(m_selectedWithFocus, false))
        selectAll();
    mbJustFocused = true;
    setProgramFieldFocused(m_ctx, true);
}

void cDropDownPopup::mhTextbox_onmouseup()
{
    // The click that focused the box placed the caret after focusin selected the text.
    if (mbJustFocused)
        selectAll();
    mbJustFocused = false;
}

void cDropDownPopup::mhTextbox_onfocusout()
{
    m_focused = false;
    // A focus already asked for comes back with the text selected: rewriting it now would
    // undo that selection.
    if (!mbShown && !m_selectedWithFocus)
        focusLeft();
    setProgramFieldFocused(m_ctx, false);
}

void cDropDownPopup::mhTextbox_ondblclick()
{
    setText(QString());
    if (m_doc)
        m_doc->focus(m_boxId);
}

void cDropDownPopup::mhTextbox_onkeydown(int keyCode)
{
    if (m_text.isEmpty())
        return;
    QString id;
    switch (keyCode) {
    case kDown:
    case kUp:
        if (mbShown)
            HighlightSelection(keyCode == kDown, id);
        break;
    case kLeft:
    case kRight:
        if (!msSelectedID.isEmpty() && mbShown) {
            setText(m_popup->entryText(msSelectedID));
            chosen();
        }
        break;
    case kHome:
        if (mbShown) {
            id = PopupWindow::entryId(0);
            HighlightSelection(false, id);
        }
        break;
    case kEnd:
        if (mbShown) {
            id = PopupWindow::entryId(miLastIndex);
            HighlightSelection(true, id);
        }
        break;
    case kPageUp:
        if (!mbShown)
            break;
        if (mbScrolling) {
            Scroll(false);
        } else {
            id = PopupWindow::entryId(miLastIndex);
            HighlightSelection(false, id);
        }
        break;
    case kPageDown:
        if (!mbShown)
            break;
        if (mbScrolling) {
            Scroll(true);
        } else {
            id = PopupWindow::entryId(0);
            HighlightSelection(true, id);
        }
        break;
    case kTab:
        // The page's own Tab is cancelled by the event rule of the box.
        if (miLastIndex < 0)
            break;
        if (m_popup->count() == 0) {
            PopupShow(miWidth, miLeft, miTop); // closed meanwhile: the list is built again
        } else {
            mbShown = true;
            m_popup->showAt(miLeft, miTop, miWidth, miHeight);
        }
        msSelectedID.clear();
        m_popup->setHighlighted(QString());
        id = PopupWindow::entryId(0);
        HighlightSelection(true, id);
        break;
    default:
        break;
    }
}

void cDropDownPopup::mhTextbox_onkeypress()
{
    mbTextChanged = true;
}

void cDropDownPopup::mhTextbox_onkeyup(int keyCode)
{
    if (m_text.size() < 2 && mbShown)
        PopupClose();
    if (keyCode == kEnter) {
        if (!msSelectedID.isEmpty() && mbShown)
            setText(m_popup->entryText(msSelectedID));
        enter();
    } else if (keyCode == kF4) {
        setText(QString());
    } else if (m_text.size() >= 2 && !isShortcut(m_text) &&
               (keyCode == kDelete || keyCode == kBackspace || mbTextChanged)) {
        ShowFavorites();
        mbTextChanged = false;
    }
}

void cDropDownPopup::DocPopup_onmouseover(const QString &id)
{
    QString sID = id;
    HighlightSelection(true, sID);
}

void cDropDownPopup::DocPopup_onclick(const QString &id)
{
    const QString text = m_popup->entryText(id);
    if (text.isEmpty())
        return;
    setText(text);
    chosen();
}

void cDropDownPopup::setPane(BrowserControl &pane)
{
    m_paneControl = &pane;
    m_pane = pane.widget();
    if (!m_measure) {
        // The page lays itself out again after the view resized: measure once it settled.
        m_measure = new QTimer(this);
        m_measure->setSingleShot(true);
        m_measure->setInterval(100);
        connect(m_measure, &QTimer::timeout, this, &cDropDownPopup::measureBox);
    }
    m_pane->installEventFilter(this);
    m_measure->start();
}

QList<EventRule> cDropDownPopup::eventRules(const QString &boxId)
{
    QList<EventRule> rules;
    for (int key : {kTab, kF4}) {
        EventRule r;
        r.type = DomEventType::KeyDown;
        r.selector = QLatin1Char('#') + boxId;
        r.keyCode = key;
        r.stopPropagation = true;
        rules << r;
    }
    return rules;
}

bool cDropDownPopup::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_pane && event->type() == QEvent::Resize && m_measure)
        m_measure->start();
    return QObject::eventFilter(watched, event);
}

void cDropDownPopup::measureBox()
{
    if (!m_doc)
        return;
    QPointer<cDropDownPopup> self(this);
    m_doc->queryElement(m_boxId, [self](const std::optional<ElementSnapshot> &box) {
        if (self && box && !box->rect.isEmpty())
            self->placeUnder(box->rect);
    });
}

void cDropDownPopup::placeUnder(const QRect &box)
{
    QWidget *frame = m_popup->parentWidget();
    if (!m_pane || !frame)
        return;
    const double zoom = m_paneControl ? m_paneControl->zoomFactor() : 1.0;
    const QPoint under = m_pane->mapTo(
        frame, QPoint(int(box.left() * zoom), int((box.top() + box.height()) * zoom)));
    const int width = qMin(frame->width(), qMax(int(box.width() * zoom), minimumWidth()));
    const int left = qBound(0, under.x(), qMax(0, frame->width() - width));
    SetAddrBoxDimensions(left, under.y(), width);
}

// ---- cPopup ----

cPopup::cPopup(AppContext &ctx, QWidget *frame) : cDropDownPopup(ctx, frame)
{}

void cPopup::PopupInitializeClass(Document &topBar)
{
    static const Recordset none;
    if (m_ctx.stores)
        m_ctx.stores->rsFavorites.ClearFilter();
    cDropDownPopup::PopupInitializeClass(
        kBoxId, topBar, m_ctx.stores ? m_ctx.stores->rsFavorites : none, QStringLiteral("URL"));
    // The window may have shown its address before the page was there to take it.
    if (!m_focused)
        setText(m_address);
}

void cPopup::ShowHistory()
{
    if (mbShown) {
        PopupClose();
        focusCurrentWindow();
        return;
    }
    if (!m_ctx.stores || !m_ctx.stores->rsCurrentSession.State())
        return;
    m_session = m_ctx.stores->rsCurrentSession.Clone();
    if (!m_session.SetFilter(QStringLiteral("bRead = 1 AND bLoaded = 0")) ||
        m_session.RecordCount() == 0)
        return;
    focusBox();
    miListKind = -1;
    m_list = &m_session;
    PopupShow(miWidth, miLeft, miTop);
}

void cPopup::focusBox()
{
    if (m_paneControl)
        m_paneControl->setFocus();
    if (!m_doc)
        return;
    // At once, not when the page reports the focus: a page completing meanwhile would take
    // the keyboard back into the document.
    setProgramFieldFocused(m_ctx, true);
    if (!m_focused)
        setText(m_address);
    // Selected with the focus, in one go: a selection made when the page reports the focus
    // would swallow what the user typed meanwhile.
    selectAll();
    m_selectedWithFocus = true;
}

void cPopup::showAddress(const QString &url)
{
    m_address = url;
    // What the user is typing is not overwritten (nor the text selected for typing over);
    // leaving the box puts the address back.
    if (!m_focused && !m_selectedWithFocus)
        setText(url);
}

bool cPopup::domEvent(const DomEvent &event)
{
    if (event.type == DomEventType::Click && event.source.id == QLatin1String("selHistory")) {
        ShowHistory();
        return true;
    }
    return cDropDownPopup::domEvent(event);
}

void cPopup::enter()
{
    const QString text = m_text.trimmed();
    if (text.isEmpty())
        return;
    if (isShortcut(text)) {
        PopupClose();
        if (OpenSearchShortcut)
            OpenSearchShortcut(text);
        showCurrentAddress();
        focusCurrentWindow();
        return;
    }
    load(text);
}

void cPopup::chosen()
{
    load(m_text);
}

void cPopup::focusLeft()
{
    showCurrentAddress();
}

void cPopup::load(const QString &text)
{
    PopupClose();
    const QUrl url = TypedAddress::completed(text);
    const QString why = url.isValid() ? TypedAddress::refusal(url) : QString();
    DocumentWindow *w = currentWindow();
    if (!why.isEmpty() || !url.isValid() || !w) {
        if (refused)
            refused(why.isEmpty() ? QStringLiteral("\"") + text +
                                        QStringLiteral("\" is not an address Skimline can load.")
                                  : why);
        return;
    }
    setText(url.toString());
    if (!w->navigateHere(url)) {
        if (refused)
            refused(QStringLiteral("\"") + text +
                    QStringLiteral("\" is not an address Skimline can load."));
        return;
    }
    focusCurrentWindow();
}

DocumentWindow *cPopup::currentWindow() const
{
    return m_ctx.reader ? m_ctx.reader->host.window(m_ctx.giCurrentWindow) : nullptr;
}

void cPopup::showCurrentAddress()
{
    setText(m_address);
}

void cPopup::focusCurrentWindow()
{
    DocumentWindow *w = currentWindow();
    if (w)
        w->zSetFocus();
}

std::function<bool(const DomEvent &)> AttachFieldDropDown(AppContext &ctx, QWidget &window,
                                                          BrowserControl &control,
                                                          const QString &fieldId,
                                                          const QStringList &entries)
{
    const QString field = QStringLiteral("Text");
    Recordset list = Recordset::Create({FieldDef{field, FieldType::LongWChar}});
    for (const QString &entry : entries)
        (void)list.AddNew({field}, {entry});
    auto *dropDown = new cDropDownPopup(ctx, &window);
    dropDown->PopupInitializeClass(fieldId, control.document(), list, field);
    dropDown->setPane(control);
    QPointer<cDropDownPopup> guard(dropDown);
    return [guard](const DomEvent &event) { return guard && guard->domEvent(event); };
}
