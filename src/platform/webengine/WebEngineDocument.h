#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>

#include "platform/Document.h"

class QWebEnginePage;

// The program's end of the page bridge (bridge.js). One per control; it follows the control's
// current top-level document.
class WebEngineDocument : public QObject, public Document
{
    Q_OBJECT
public:
    explicit WebEngineDocument(QWebEnginePage *page, QObject *parent = nullptr);
    ~WebEngineDocument() override;

    void setListener(DocumentListener *listener) override { m_listener = listener; }
    DocumentSnapshot snapshot() const override { return m_snapshot; }
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

    // The control's side.
    // The program started a navigation: writes and queries wait for the next document.
    // expected: the address of the document to come, when it is known (a written page): a
    // document at another address saying hello meanwhile is the one it replaces, late.
    void awaitNewDocument(const QUrl &expected = QUrl());
    bool isAwaitingNewDocument() const { return m_awaiting; }
    bool hasBridge() const { return m_token != 0; }
    // The page told that the keyboard focus went into one of its editable elements.
    bool hasEditableFocus() const { return m_editableFocus; }
    // No bridge came for the last load (an error page, a plain file): queued queries get
    // empty answers; queued writes wait for the next document.
    void giveUpWaiting();
    quint64 generation() const { return m_snapshot.generation; }

    static ElementSnapshot elementFromJson(const QJsonObject &o);

    // Called by the page (bridge.js) through the web channel.
public Q_SLOTS:
    void hello(const QJsonObject &info);
    void snapshot(const QJsonObject &data);
    void domEvent(const QJsonObject &event);
    void state(const QString &readyState, double token);
    void reply(int id, const QJsonValue &result);
    void formSubmit(const QJsonObject &form);
    void frameComplete(const QJsonObject &frame);
    void writeFailed(const QJsonObject &failure);

public:
    // Writes the page could not apply and operations its bridge did not know, since the
    // control was made. Tests fail on any.
    int failedWriteCount() const { return m_failedWrites; }
    // The same over every document of this process.
    static int failedWritesInProcess();

Q_SIGNALS:
    void deliver(const QJsonArray &messages);
    // For the control: a new document's bridge is up; the ready state changed.
    void documentCreated(const QUrl &url, const QString &readyState);
    void readyStateReported(const QString &readyState);
    void titleReported(const QString &title);
    void formSubmitted(const QString &method, const QUrl &action, const QByteArray &body);
    void linkClicked(const QUrl &href, const QString &target);

private:
    using Reply = std::function<void(const QJsonValue &)>;
    struct Pending
    {
        Reply done;
        qint64 token = 0; // the document it went to; 0 while queued
    };

    void send(QJsonObject message);
    void query(const QString &what, QJsonObject args, Reply done);
    void flush();
    void scheduleFlush();
    void failPending(bool queuedToo);
    void write(const QString &op, const ElementRef &element, QJsonObject fields);

    QWebEnginePage *m_page;
    DocumentListener *m_listener = nullptr;
    DocumentSnapshot m_snapshot;
    QJsonArray m_rules;
    QJsonArray m_outgoing;
    QHash<int, Pending> m_pending;
    int m_nextQuery = 1;
    qint64 m_token = 0;
    bool m_awaiting = false;
    QUrl m_awaitedUrl;
    bool m_flushScheduled = false;
    bool m_editableFocus = false;
    int m_failedWrites = 0;
};
