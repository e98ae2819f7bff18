#pragma once

#include "FakeDom.h"
#include "platform/Document.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>

class FakeWeb;

// The Document of the platform double: a FakeDom for the top document and one per frame.
// Writes apply to the tree at once (queued while no document is ready, then applied in
// order); the snapshot is computed from the tree whenever it is asked for; query callbacks
// run on a later turn of the fake's event queue, as the interface promises.
class FakeDocument : public Document
{
public:
    // The writes tests look for, in order.
    struct Write
    {
        QString operation; // "scrollTo", "focus", "highlight", "stopHighlight",
                           // "removeHighlights", "execCommand", "frameZoom"
        QString target;    // the element's id, or "#<handle>"; empty when none
        QString name;      // property, attribute, position, command
        QString value;
    };

    explicit FakeDocument(FakeWeb &web);
    ~FakeDocument() override;

    // Document
    void setListener(DocumentListener *listener) override { m_listener = listener; }
    DocumentSnapshot snapshot() const override;
    void setEventRules(const QList<EventRule> &rules) override;
    void setInnerHTML(const ElementRef &element, const QString &html) override;
    void setInnerText(const ElementRef &element, const QString &text) override;
    void setOuterHTML(const ElementRef &element, const QString &html) override;
    void insertAdjacentHTML(const ElementRef &element, const QString &where,
                            const QString &html) override;
    void setStyle(const ElementRef &element, const QString &property,
                  const QString &value) override;
    void setAttribute(const ElementRef &element, const QString &name,
                      const QString &value) override;
    void setValue(const ElementRef &element, const QString &value) override;
    void setChecked(const ElementRef &element, bool checked) override;
    void addCssRule(const QString &selector, const QString &declarations) override;
    void setBodyZoom(const QString &zoom) override;
    void scaleImages(double factor) override;
    void scrollTo(int x, int y) override;
    void scrollFramePage(int direction, int overlap, std::optional<QPoint> at) override;
    void scrollIntoView(const ElementRef &element) override;
    void focus(const ElementRef &element) override;
    void selectText(const ElementRef &element) override;
    void highlightTerms(const QStringList &terms, const QStringList &styles) override;
    void stopHighlighting() override;
    void removeHighlights() override;
    void execCommand(const QString &command, bool showUi, const QString &value) override;
    void fillForms(const QList<FormFill> &values) override;
    void resetForms() override;
    void setFrameBodyZoom(const ElementRef &frame, const QString &zoom) override;
    void highlightFrameTerms(const ElementRef &frame, const QStringList &terms,
                             const QStringList &styles) override;
    void queryLinks(std::function<void(const QList<LinkInfo> &)> done) override;
    void queryForms(std::function<void(const QList<FormInfo> &)> done) override;
    void queryMeta(std::function<void(const QList<MetaInfo> &)> done) override;
    void queryHeadings(std::function<void(const QList<HeadingInfo> &)> done) override;
    void queryOuterHTML(std::function<void(const QString &)> done) override;
    void queryFrameSources(std::function<void(const QList<FrameSource> &)> done) override;
    void queryBodyText(std::function<void(const QString &)> done) override;
    void queryCookie(std::function<void(const QString &)> done) override;
    void queryStyleSheets(std::function<void(const QList<StyleSheetInfo> &)> done) override;
    void querySelectedHTML(std::function<void(const QString &)> done) override;
    void querySelectionForCopy(std::function<void(const QString &)> done) override;
    void queryElement(const ElementRef &element,
                      std::function<void(const std::optional<ElementSnapshot> &)> done) override;
    void querySelectorAll(const QString &selector,
                          std::function<void(const QList<ElementSnapshot> &)> done) override;

    // ---- the control's side ----
    // A new top document: the tree is replaced, handles and frames are dropped.
    void beginDocument(const QUrl &url, const QString &html);
    // A load of the program's is under way: writes from now on are for its document.
    void awaitNewDocument() { m_awaiting = true; }
    // The page rewrote itself (document.open/write/close): same address, new tree.
    void rewriteDocument(const QString &html);
    // Reaching Interactive applies the writes that waited for a document.
    void setReadyState(ReadyState state);
    // element: the serial of the FRAME or IFRAME element holding it (0 when none). Returns
    // the frame's index.
    int addFrame(const QUrl &url, const QString &html, qint64 element = 0);
    void replaceFrame(int index, const QUrl &url, const QString &html);
    // The frame's document has loaded: the listener hears of it.
    void reportFrameComplete(int index);
    bool hasDocument() const { return m_hasDocument; }

    // Reports a DOM event to the listener after the event rules had their say; the returned
    // event tells whether the default action was prevented.
    DomEvent dispatch(DomEventType type, DomNode *source, int frameIndex,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier, int button = 0,
                      int buttons = 0, int keyCode = 0, int wheelDelta = 0);
    // Moves the focus as a user or page would, with focusout/focusin events. Null: the body.
    void moveFocus(DomNode *element, int frameIndex = -1);
    void notifySnapshot();

    // ---- the test's side ----
    FakeDom &dom() { return *m_dom; }
    const FakeDom &dom() const { return *m_dom; }
    int frameCount() const { return int(m_frames.size()); }
    FakeDom *frameDom(int index) const;
    // The frame a FRAME or IFRAME element holds; -1 when none.
    int frameIndexOf(const ElementRef &frameElement) const;
    QUrl frameUrl(int index) const;
    QUrl url() const { return m_url; }
    QUrl documentUrl(int frameIndex) const;
    // The element a ref names, in the top document or a frame; null when gone.
    DomNode *element(const ElementRef &ref, int frameIndex = -1) const;
    // Which frame holds node: -1 the top document, -2 none.
    int frameOf(const DomNode *node) const;
    ElementSnapshot elementSnapshot(const DomNode *node, int frameIndex = -1) const;
    DomNode *activeElement() const;
    int activeFrame() const { return m_activeFrame; }

    void clearWrites() { m_writes.clear(); }
    QList<Write> writesOf(const QString &operation) const;

    // The page's geometry and selection, which the tree cannot tell.
    void setScrollMetrics(int scrollHeight, int clientHeight, int clientWidth = 1000);
    void setScrollTop(int scrollTop); // as the user scrolling would; no write is recorded
    void setSelection(const QString &text, const QString &html = QString());
    // The user selects the element's contents: its links come out absolute, as the engine's do.
    void selectContents(const ElementRef &element, int frameIndex = -1);

private:
    void record(const QString &operation, const ElementRef &target, const QString &name,
                const QString &value);
    void apply(std::function<void()> write);
    // Applies the write to the element the ref names, when it is there.
    void writeElement(const ElementRef &ref, std::function<void(DomNode &)> write);
    DomNode *frameBody(const ElementRef &frame) const;
    template <typename Result>
    void answer(std::function<void(const Result &)> done, std::function<Result()> compute);
    bool eventRuleMatches(const EventRule &rule, DomEventType type, const DomNode *source,
                          Qt::KeyboardModifiers modifiers, int buttons, int keyCode) const;
    QList<FakeDom *> allDoms() const;

    struct Frame
    {
        QUrl url;
        std::unique_ptr<FakeDom> dom;
        qint64 element = 0;
    };

    FakeWeb &m_web;
    DocumentListener *m_listener = nullptr;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::unique_ptr<FakeDom> m_dom;
    std::vector<Frame> m_frames;
    QUrl m_url;
    bool m_hasDocument = false;
    bool m_awaiting = false;
    ReadyState m_readyState = ReadyState::Uninitialized;
    quint64 m_generation = 0;
    QList<EventRule> m_rules;
    QList<Write> m_writes;
    std::vector<std::function<void()>> m_pendingWrites;
    QStringList m_cssRules;
    int m_scrollTop = 0;
    int m_scrollLeft = 0;
    int m_scrollHeight = 3000;
    int m_clientHeight = 600;
    int m_clientWidth = 1000;
    QString m_selectionText;
    QString m_selectionHtml;
    qint64 m_activeSerial = 0;
    int m_activeFrame = -1;
};
