#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

#include "platform/BrowserControl.h"

// An element named by its id, or by the handle the page gave it in an event or query result
// (elements without an id: the element under the pointer, a heading).
struct ElementRef
{
    ElementRef() = default;
    ElementRef(const QString &elementId) : id(elementId) {}
    ElementRef(const char *elementId) : id(QString::fromUtf8(elementId)) {}
    static ElementRef fromHandle(qint64 h)
    {
        ElementRef r;
        r.handle = h;
        return r;
    }
    bool isNull() const { return id.isEmpty() && handle == 0; }

    QString id;
    qint64 handle = 0; // 0 = none; valid for the document that issued it
};

struct ElementSnapshot
{
    qint64 handle = 0;
    QString id;
    QString tagName; // upper case, "A", "INPUT"
    QString className;
    QString name;  // the name attribute
    QString text;  // innerText, capped at 4096 characters
    QString value; // inputs, textareas, selects
    bool checked = false;
    QString href;            // anchors: the resolved href
    QString target;          // anchors: the target attribute
    QString type;            // inputs: the type, lower case ("text", "checkbox")
    QString styleText;       // the inline style attribute
    bool isEditable = false; // a text input, a textarea, a select or contenteditable
    // The nearest enclosing anchor (the element itself when it is one).
    QString linkHref;
    QString linkTarget;
    qint64 linkHandle = 0;
    // queryElement only: the element's box in the page's viewport (CSS pixels); empty when
    // the page has no layout for it.
    QRect rect;

    ElementRef ref() const { return handle ? ElementRef::fromHandle(handle) : ElementRef(id); }
};

struct DocumentSnapshot
{
    ReadyState readyState = ReadyState::Uninitialized;
    QString title;
    QUrl url;
    QString metaDescription;
    QString metaKeywords;
    int frameCount = 0;        // window.frames.length
    int iframeCount = 0;       // IFRAME elements
    int frameElementCount = 0; // FRAME elements
    int linkCount = 0;
    int imageCount = 0;
    int formCount = 0;
    QString compatMode; // "BackCompat" or "CSS1Compat"
    int scrollTop = 0;
    int scrollLeft = 0;
    int scrollHeight = 0;
    int clientHeight = 0;
    int clientWidth = 0;
    // The bottom of the body's boxes (floats too), whatever the viewport's height: what a
    // pane must show of its page. 0 when unknown.
    int contentHeight = 0;
    QString selectionText;
    QString bodyZoom; // the body's style zoom as written ("105%"), empty when unset
    bool isFrameset = false;
    int bodyTextLength = 0;
    QString lastModified;     // document.lastModified: "MM/DD/YYYY hh:mm:ss", local time
    QString activeElementTag; // upper case; empty when the body has the focus
    bool activeElementEditable = false;
    quint64 generation = 0; // grows with every new document in the control
};

enum class DomEventType {
    Click,
    DblClick,
    ContextMenu,
    KeyDown,
    KeyUp,
    KeyPress,
    FocusIn,
    FocusOut,
    MouseOver,
    MouseOut,
    MouseDown,
    MouseUp,
    Wheel,
    Input, // a field's value changed by any means: keys, paste, drop
};

struct DomEvent
{
    DomEventType type = DomEventType::Click;
    ElementSnapshot source;
    int keyCode = 0; // the legacy keyCode: Windows virtual-key codes
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    // The DOM's button numbering: 0 left, 1 middle, 2 right; buttons: bit 1 left, 2 right, 4 middle
    int button = 0;
    int buttons = 0;
    int wheelDelta = 0; // 120 per notch, > 0 away from the user (as the old wheelDelta)
    int clientX = 0;
    int clientY = 0;
    int frameIndex = -1;           // -1 the top document, else the index in window.frames
    QString word;                  // contextmenu: the word under the pointer
    bool defaultPrevented = false; // an event rule cancelled the page's default action
};

// The page cannot wait for the program's verdict, so default actions are cancelled by rules
// set in advance. A rule matches when the type matches, the source or one of its ancestors
// matches the selector (empty: any), and each set condition holds.
struct EventRule
{
    DomEventType type = DomEventType::Click;
    QString selector; // CSS selector, e.g. "a", "#SearchTerms", ".se", "a[href^='skl:']"
    std::optional<int> keyCode;
    std::optional<Qt::KeyboardModifiers> modifiers; // exact match of Shift, Ctrl, Alt
    std::optional<int> buttons;                     // exact match of the held-buttons mask
    bool preventDefault = true;
    bool stopPropagation = false;
};

struct LinkInfo
{
    QString href;
    QString innerHTML;
    QString text;
    int frameIndex = -1;
};

struct FormField
{
    QString tagName; // INPUT, TEXTAREA, SELECT
    QString type;
    QString name;
    QString id;
    QString value;
    bool checked = false;
    QList<int> selectedIndexes; // selects: the selected options, in order
};

// A saved value for the fields of a name: type 't' text-like (text, password, textarea), 'c' a
// checkbox's "True"/"False", 'r' the value of the radio button to check, 's' the index of the
// option to select.
struct FormFill
{
    QString name;
    QChar type;
    QString value;
};

struct FormInfo
{
    QString name;
    QString id;
    QString action; // resolved
    QString method; // lower case; "get" when unset
    QList<FormField> fields;
    int frameIndex = -1;
};

struct MetaInfo
{
    QString name;
    QString httpEquiv;
    QString content;
};

struct HeadingInfo
{
    int level = 1;
    QString text;
    QString id;
    qint64 handle = 0;
};

// A frame's document that finished loading. Frames are named by their FRAME or IFRAME
// element, a name that holds across the frame's own navigations while the top document lives.
// Only frames of the top document's origin are within reach (and reported); nested frames
// are reported before the frame that holds them.
struct FrameDocumentInfo
{
    ElementRef frame;
    int frameIndex = -1; // the top-level frame holding it, as DomEvent::frameIndex
    QUrl url;
    int bodyTextLength = 0;
};

// A style sheet of a page: its address (empty for one written in the page) and its rules.
struct StyleSheetInfo
{
    QString href;
    QString text;
};

// A frame's document as its page's script can reach it. A frame of another origin gives only
// its address (readable false).
struct FrameSource
{
    bool readable = true;
    QUrl url;
    QString title;
    int iframeCount = 0;
    int linkCount = 0;
    int imageCount = 0;
    int formCount = 0;
    QString html; // the frame document's outerHTML
};

class DocumentListener
{
public:
    virtual ~DocumentListener() = default;
    virtual void domEvent(const DomEvent &) {}
    virtual void snapshotChanged(const DocumentSnapshot &) {}
    virtual void frameDocumentComplete(const FrameDocumentInfo &) {}
};

// The current document of one control. Writes are applied in the order given, after the
// document has become ready; writes made while no document is there apply to the next one.
// Query callbacks run later from the event loop (never inside the call), exactly once while
// the control lives; they get an empty result when the document went away meanwhile.
class Document
{
public:
    virtual ~Document() = default;

    virtual void setListener(DocumentListener *listener) = 0;
    virtual DocumentSnapshot snapshot() const = 0;

    // Replaces every rule; events are reported whatever the rules say.
    virtual void setEventRules(const QList<EventRule> &rules) = 0;

    // Writes. A missing element is ignored.
    virtual void setInnerHTML(const ElementRef &element, const QString &html) = 0;
    virtual void setInnerText(const ElementRef &element, const QString &text) = 0;
    virtual void setOuterHTML(const ElementRef &element, const QString &html) = 0;
    // where: "beforeBegin", "afterBegin", "beforeEnd", "afterEnd"
    virtual void insertAdjacentHTML(const ElementRef &element, const QString &where,
                                    const QString &html) = 0;
    virtual void setStyle(const ElementRef &element, const QString &property,
                          const QString &value) = 0; // CSS property name ("background-color")
    // A null value removes the attribute (a button's "disabled" is gone only that way).
    virtual void setAttribute(const ElementRef &element, const QString &name,
                              const QString &value) = 0;
    virtual void setValue(const ElementRef &element, const QString &value) = 0;
    virtual void setChecked(const ElementRef &element, bool checked) = 0;
    virtual void addCssRule(const QString &selector, const QString &declarations) = 0;
    virtual void setBodyZoom(const QString &zoom) = 0; // "105%"; empty clears it
    // Every image of the page and of the frames it can reach drawn factor times as large.
    virtual void scaleImages(double factor) = 0;
    virtual void scrollTo(int x, int y) = 0; // clamped to the page
    // Scrolls by one page, its visible height less `overlap` pixels (direction > 0 down), in
    // the frame's document that has the keyboard, or with `at` (the control's pixels) the one
    // under that point; the top document when no frame is meant.
    virtual void scrollFramePage(int direction, int overlap, std::optional<QPoint> at) = 0;
    virtual void scrollIntoView(const ElementRef &element) = 0;
    virtual void focus(const ElementRef &element) = 0; // a null ref focuses the document's window
    // Focuses a text field with all of its text selected, whether or not the page has the
    // keyboard yet (the selection stays when it gets it).
    virtual void selectText(const ElementRef &element) = 0;
    // Wraps every case-insensitive occurrence of each term in the body's text in
    // <FONT style='...'>; the terms' styles cycle through styles (one style when single).
    // A long page is worked through in slices that leave the page responsive between them.
    virtual void highlightTerms(const QStringList &terms, const QStringList &styles) = 0;
    // Ends the highlighting still under way, in the document and its frames.
    virtual void stopHighlighting() = 0;
    // Unwraps every mark the highlighting made, in the document and its frames within reach.
    virtual void removeHighlights() = 0;
    virtual void execCommand(const QString &command, bool showUi = false,
                             const QString &value = QString()) = 0;
    // Puts the values into the named fields of every form, in the document and the frames in
    // reach; a field whose type does not match its value's is left as it is.
    virtual void fillForms(const QList<FormFill> &values) = 0;
    // Every form's own reset, in the document and the frames in reach.
    virtual void resetForms() = 0;
    // The same writes into the document a frame holds now (a frame out of reach is ignored).
    // Focusing the frame element itself (focus()) puts the keyboard into its document.
    virtual void setFrameBodyZoom(const ElementRef &frame, const QString &zoom) = 0;
    virtual void highlightFrameTerms(const ElementRef &frame, const QStringList &terms,
                                     const QStringList &styles) = 0;

    // Queries.
    virtual void queryLinks(std::function<void(const QList<LinkInfo> &)> done) = 0;
    virtual void queryForms(std::function<void(const QList<FormInfo> &)> done) = 0;
    virtual void queryMeta(std::function<void(const QList<MetaInfo> &)> done) = 0;
    virtual void queryHeadings(std::function<void(const QList<HeadingInfo> &)> done) = 0;
    virtual void queryOuterHTML(std::function<void(const QString &)> done) = 0;
    virtual void queryFrameSources(std::function<void(const QList<FrameSource> &)> done) = 0;
    virtual void queryBodyText(std::function<void(const QString &)> done) = 0;
    // The cookies the page's own script can read (asked for, as reading them costs a trip to
    // the cookie store).
    virtual void queryCookie(std::function<void(const QString &)> done) = 0;
    virtual void queryStyleSheets(std::function<void(const QList<StyleSheetInfo> &)> done) = 0;
    // The selection of the top document, or else of the frame holding one, with the
    // addresses of its links made absolute against the document they are in.
    virtual void querySelectedHTML(std::function<void(const QString &)> done) = 0;
    // The selection as HTML to keep elsewhere: every address absolute, nothing that runs.
    virtual void querySelectionForCopy(std::function<void(const QString &)> done) = 0;
    virtual void queryElement(const ElementRef &element,
                              std::function<void(const std::optional<ElementSnapshot> &)> done) = 0;
    // querySelectorAll over the top document.
    virtual void querySelectorAll(const QString &selector,
                                  std::function<void(const QList<ElementSnapshot> &)> done) = 0;
};
