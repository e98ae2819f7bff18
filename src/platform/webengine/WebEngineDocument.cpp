#include "WebEngineDocument.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <atomic>

namespace {

QJsonObject refJson(const ElementRef &ref)
{
    QJsonObject o;
    if (!ref.id.isEmpty())
        o.insert(QStringLiteral("id"), ref.id);
    if (ref.handle)
        o.insert(QStringLiteral("handle"), double(ref.handle));
    return o;
}

int modifierBits(Qt::KeyboardModifiers m)
{
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
           (m & Qt::AltModifier ? 4 : 0);
}

Qt::KeyboardModifiers modifiersFromBits(int bits)
{
    Qt::KeyboardModifiers m;
    if (bits & 1)
        m |= Qt::ShiftModifier;
    if (bits & 2)
        m |= Qt::ControlModifier;
    if (bits & 4)
        m |= Qt::AltModifier;
    if (bits & 8)
        m |= Qt::MetaModifier;
    return m;
}

ReadyState readyStateFrom(const QString &s)
{
    if (s == QLatin1String("complete"))
        return ReadyState::Complete;
    if (s == QLatin1String("interactive"))
        return ReadyState::Interactive;
    if (s == QLatin1String("loading"))
        return ReadyState::Loading;
    return ReadyState::Uninitialized;
}

qint64 handleOf(const QJsonValue &v)
{
    return qint64(v.toDouble());
}

QString str(const QJsonObject &o, const char *key)
{
    return o.value(QLatin1String(key)).toString();
}

int num(const QJsonObject &o, const char *key)
{
    return o.value(QLatin1String(key)).toInt();
}

} // namespace

WebEngineDocument::WebEngineDocument(QWebEnginePage *page, QObject *parent)
    : QObject(parent), m_page(page)
{}

WebEngineDocument::~WebEngineDocument() = default;

ElementSnapshot WebEngineDocument::elementFromJson(const QJsonObject &o)
{
    ElementSnapshot e;
    e.handle = handleOf(o.value(QLatin1String("handle")));
    e.id = str(o, "id");
    e.tagName = str(o, "tagName");
    e.className = str(o, "className");
    e.name = str(o, "name");
    e.text = str(o, "text");
    e.value = str(o, "value");
    e.checked = o.value(QLatin1String("checked")).toBool();
    e.href = str(o, "href");
    e.target = str(o, "target");
    e.type = str(o, "type");
    e.styleText = str(o, "styleText");
    e.isEditable = o.value(QLatin1String("isEditable")).toBool();
    e.linkHref = str(o, "linkHref");
    e.linkTarget = str(o, "linkTarget");
    e.linkHandle = handleOf(o.value(QLatin1String("linkHandle")));
    const QJsonArray rect = o.value(QLatin1String("rect")).toArray();
    if (rect.size() == 4)
        e.rect =
            QRect(rect.at(0).toInt(), rect.at(1).toInt(), rect.at(2).toInt(), rect.at(3).toInt());
    return e;
}

void WebEngineDocument::setEventRules(const QList<EventRule> &rules)
{
    QJsonArray list;
    for (const EventRule &r : rules) {
        QJsonObject o;
        o.insert(QStringLiteral("type"), int(r.type));
        o.insert(QStringLiteral("selector"), r.selector);
        if (r.keyCode)
            o.insert(QStringLiteral("keyCode"), *r.keyCode);
        if (r.modifiers)
            o.insert(QStringLiteral("modifiers"), modifierBits(*r.modifiers));
        if (r.buttons)
            o.insert(QStringLiteral("buttons"), *r.buttons);
        o.insert(QStringLiteral("preventDefault"), r.preventDefault);
        o.insert(QStringLiteral("stopPropagation"), r.stopPropagation);
        list.append(o);
    }
    m_rules = list;
    QJsonObject m;
    m.insert(QStringLiteral("op"), QStringLiteral("rules"));
    m.insert(QStringLiteral("rules"), list);
    send(m);
}

void WebEngineDocument::write(const QString &op, const ElementRef &element, QJsonObject fields)
{
    if (element.isNull())
        return;
    fields.insert(QStringLiteral("op"), op);
    fields.insert(QStringLiteral("ref"), refJson(element));
    send(fields);
}

void WebEngineDocument::setInnerHTML(const ElementRef &element, const QString &html)
{
    write(QStringLiteral("innerHTML"), element, {{QStringLiteral("html"), html}});
}

void WebEngineDocument::setInnerText(const ElementRef &element, const QString &text)
{
    write(QStringLiteral("innerText"), element, {{QStringLiteral("text"), text}});
}

void WebEngineDocument::setOuterHTML(const ElementRef &element, const QString &html)
{
    write(QStringLiteral("outerHTML"), element, {{QStringLiteral("html"), html}});
}

void WebEngineDocument::insertAdjacentHTML(const ElementRef &element, const QString &where,
                                           const QString &html)
{
    write(QStringLiteral("insertAdjacentHTML"), element,
          {{QStringLiteral("where"), where}, {QStringLiteral("html"), html}});
}

void WebEngineDocument::setStyle(const ElementRef &element, const QString &property,
                                 const QString &value)
{
    write(QStringLiteral("style"), element,
          {{QStringLiteral("property"), property}, {QStringLiteral("value"), value}});
}

void WebEngineDocument::setAttribute(const ElementRef &element, const QString &name,
                                     const QString &value)
{
    write(QStringLiteral("attr"), element,
          {{QStringLiteral("name"), name},
           {QStringLiteral("value"), value.isNull() ? QJsonValue() : QJsonValue(value)}});
}

void WebEngineDocument::setValue(const ElementRef &element, const QString &value)
{
    write(QStringLiteral("value"), element, {{QStringLiteral("value"), value}});
}

void WebEngineDocument::setChecked(const ElementRef &element, bool checked)
{
    write(QStringLiteral("checked"), element, {{QStringLiteral("checked"), checked}});
}

void WebEngineDocument::addCssRule(const QString &selector, const QString &declarations)
{
    send({{QStringLiteral("op"), QStringLiteral("cssRule")},
          {QStringLiteral("selector"), selector},
          {QStringLiteral("declarations"), declarations}});
}

void WebEngineDocument::scaleImages(double factor)
{
    send({{QStringLiteral("op"), QStringLiteral("scaleImages")},
          {QStringLiteral("factor"), factor}});
}

void WebEngineDocument::setBodyZoom(const QString &zoom)
{
    send({{QStringLiteral("op"), QStringLiteral("bodyZoom")}, {QStringLiteral("value"), zoom}});
    // The page confirms it only with its next snapshot; a wheel notch in between must already
    // start from this zoom.
    if (m_token != 0 && !m_awaiting)
        m_snapshot.bodyZoom = zoom;
}

void WebEngineDocument::scrollTo(int x, int y)
{
    send({{QStringLiteral("op"), QStringLiteral("scrollTo")},
          {QStringLiteral("x"), x},
          {QStringLiteral("y"), y}});
}

void WebEngineDocument::scrollFramePage(int direction, int overlap, std::optional<QPoint> at)
{
    QJsonObject m{{QStringLiteral("op"), QStringLiteral("framePage")},
                  {QStringLiteral("direction"), direction},
                  {QStringLiteral("overlap"), overlap}};
    if (at) {
        // The page measures in its own pixels, which the view's zoom enlarges.
        const double zoom = m_page->zoomFactor() > 0 ? m_page->zoomFactor() : 1.0;
        m.insert(QStringLiteral("at"), QJsonObject{{QStringLiteral("x"), at->x() / zoom},
                                                   {QStringLiteral("y"), at->y() / zoom}});
    }
    send(m);
}

void WebEngineDocument::scrollIntoView(const ElementRef &element)
{
    write(QStringLiteral("scrollIntoView"), element, {});
}

void WebEngineDocument::focus(const ElementRef &element)
{
    if (element.isNull()) {
        send({{QStringLiteral("op"), QStringLiteral("focusWindow")}});
        return;
    }
    write(QStringLiteral("focus"), element, {});
}

void WebEngineDocument::selectText(const ElementRef &element)
{
    write(QStringLiteral("selectText"), element, {});
}

void WebEngineDocument::highlightTerms(const QStringList &terms, const QStringList &styles)
{
    send({{QStringLiteral("op"), QStringLiteral("highlight")},
          {QStringLiteral("terms"), QJsonArray::fromStringList(terms)},
          {QStringLiteral("styles"), QJsonArray::fromStringList(styles)}});
}

void WebEngineDocument::stopHighlighting()
{
    send({{QStringLiteral("op"), QStringLiteral("stopHighlight")}});
}

void WebEngineDocument::removeHighlights()
{
    send({{QStringLiteral("op"), QStringLiteral("removeHighlights")}});
}

void WebEngineDocument::setFrameBodyZoom(const ElementRef &frame, const QString &zoom)
{
    write(QStringLiteral("frameZoom"), frame, {{QStringLiteral("value"), zoom}});
}

void WebEngineDocument::highlightFrameTerms(const ElementRef &frame, const QStringList &terms,
                                            const QStringList &styles)
{
    write(QStringLiteral("frameHighlight"), frame,
          {{QStringLiteral("terms"), QJsonArray::fromStringList(terms)},
           {QStringLiteral("styles"), QJsonArray::fromStringList(styles)}});
}

void WebEngineDocument::execCommand(const QString &command, bool showUi, const QString &value)
{
    // The clipboard is out of the page's reach; the engine's own actions do these.
    const QString c = command.toLower();
    if (c == QLatin1String("paste") || c == QLatin1String("copy") || c == QLatin1String("cut") ||
        c == QLatin1String("selectall")) {
        const QWebEnginePage::WebAction action = c == QLatin1String("paste") ? QWebEnginePage::Paste
                                                 : c == QLatin1String("copy") ? QWebEnginePage::Copy
                                                 : c == QLatin1String("cut")
                                                     ? QWebEnginePage::Cut
                                                     : QWebEnginePage::SelectAll;
        // After the writes before it (a focus() usually) have reached the page.
        QPointer<QWebEnginePage> page = m_page;
        query(QStringLiteral("bodyText"), {}, [page, action](const QJsonValue &) {
            if (page)
                page->triggerAction(action);
        });
        return;
    }
    send({{QStringLiteral("op"), QStringLiteral("execCommand")},
          {QStringLiteral("command"), command},
          {QStringLiteral("showUi"), showUi},
          {QStringLiteral("value"), value}});
}

void WebEngineDocument::fillForms(const QList<FormFill> &values)
{
    QJsonArray list;
    for (const FormFill &v : values)
        list.append(QJsonObject{{QStringLiteral("name"), v.name},
                                {QStringLiteral("type"), QString(v.type)},
                                {QStringLiteral("value"), v.value}});
    send({{QStringLiteral("op"), QStringLiteral("fillForms")}, {QStringLiteral("values"), list}});
}

void WebEngineDocument::resetForms()
{
    send({{QStringLiteral("op"), QStringLiteral("resetForms")}});
}

void WebEngineDocument::queryLinks(std::function<void(const QList<LinkInfo> &)> done)
{
    query(QStringLiteral("links"), {}, [done](const QJsonValue &v) {
        QList<LinkInfo> out;
        for (const QJsonValue &item : v.toArray()) {
            const QJsonObject o = item.toObject();
            out.append({str(o, "href"), str(o, "innerHTML"), str(o, "text"), num(o, "frameIndex")});
        }
        done(out);
    });
}

void WebEngineDocument::queryForms(std::function<void(const QList<FormInfo> &)> done)
{
    query(QStringLiteral("forms"), {}, [done](const QJsonValue &v) {
        QList<FormInfo> out;
        for (const QJsonValue &item : v.toArray()) {
            const QJsonObject o = item.toObject();
            FormInfo f;
            f.name = str(o, "name");
            f.id = str(o, "id");
            f.action = str(o, "action");
            f.method = str(o, "method");
            f.frameIndex = num(o, "frameIndex");
            for (const QJsonValue &fv : o.value(QLatin1String("fields")).toArray()) {
                const QJsonObject fo = fv.toObject();
                FormField field{str(fo, "tagName"),
                                str(fo, "type"),
                                str(fo, "name"),
                                str(fo, "id"),
                                str(fo, "value"),
                                fo.value(QLatin1String("checked")).toBool(),
                                {}};
                for (const QJsonValue &i : fo.value(QLatin1String("selectedIndexes")).toArray())
                    field.selectedIndexes.append(i.toInt());
                f.fields.append(field);
            }
            out.append(f);
        }
        done(out);
    });
}

void WebEngineDocument::queryMeta(std::function<void(const QList<MetaInfo> &)> done)
{
    query(QStringLiteral("meta"), {}, [done](const QJsonValue &v) {
        QList<MetaInfo> out;
        for (const QJsonValue &item : v.toArray()) {
            const QJsonObject o = item.toObject();
            out.append({str(o, "name"), str(o, "httpEquiv"), str(o, "content")});
        }
        done(out);
    });
}

void WebEngineDocument::queryHeadings(std::function<void(const QList<HeadingInfo> &)> done)
{
    query(QStringLiteral("headings"), {}, [done](const QJsonValue &v) {
        QList<HeadingInfo> out;
        for (const QJsonValue &item : v.toArray()) {
            const QJsonObject o = item.toObject();
            out.append({num(o, "level"), str(o, "text"), str(o, "id"),
                        handleOf(o.value(QLatin1String("handle")))});
        }
        done(out);
    });
}

void WebEngineDocument::queryOuterHTML(std::function<void(const QString &)> done)
{
    query(QStringLiteral("outerHTML"), {}, [done](const QJsonValue &v) { done(v.toString()); });
}

void WebEngineDocument::queryFrameSources(std::function<void(const QList<FrameSource> &)> done)
{
    query(QStringLiteral("frameSources"), {}, [done](const QJsonValue &v) {
        QList<FrameSource> out;
        for (const QJsonValue &item : v.toArray()) {
            const QJsonObject o = item.toObject();
            FrameSource f;
            f.url = QUrl(str(o, "url"));
            f.title = str(o, "title");
            f.iframeCount = num(o, "iframes");
            f.linkCount = num(o, "links");
            f.imageCount = num(o, "images");
            f.formCount = num(o, "forms");
            f.html = str(o, "html");
            f.readable = !o.value(QStringLiteral("unreadable")).toBool();
            out.append(f);
        }
        done(out);
    });
}

void WebEngineDocument::queryCookie(std::function<void(const QString &)> done)
{
    query(QStringLiteral("cookie"), {}, [done](const QJsonValue &v) { done(v.toString()); });
}

void WebEngineDocument::queryBodyText(std::function<void(const QString &)> done)
{
    query(QStringLiteral("bodyText"), {}, [done](const QJsonValue &v) { done(v.toString()); });
}

void WebEngineDocument::queryStyleSheets(std::function<void(const QList<StyleSheetInfo> &)> done)
{
    query(QStringLiteral("styleSheets"), {}, [done](const QJsonValue &v) {
        QList<StyleSheetInfo> out;
        for (const QJsonValue &item : v.toArray()) {
            const QJsonObject o = item.toObject();
            out.append({str(o, "href"), str(o, "text")});
        }
        done(out);
    });
}

void WebEngineDocument::querySelectionForCopy(std::function<void(const QString &)> done)
{
    query(QStringLiteral("selectionForCopy"), {},
          [done](const QJsonValue &v) { done(v.toString()); });
}

void WebEngineDocument::querySelectedHTML(std::function<void(const QString &)> done)
{
    query(QStringLiteral("selectedHTML"), {}, [done](const QJsonValue &v) { done(v.toString()); });
}

void WebEngineDocument::queryElement(
    const ElementRef &element, std::function<void(const std::optional<ElementSnapshot> &)> done)
{
    query(QStringLiteral("element"), {{QStringLiteral("ref"), refJson(element)}},
          [done](const QJsonValue &v) {
              if (!v.isObject()) {
                  done(std::nullopt);
                  return;
              }
              done(elementFromJson(v.toObject()));
          });
}

void WebEngineDocument::querySelectorAll(const QString &selector,
                                         std::function<void(const QList<ElementSnapshot> &)> done)
{
    query(QStringLiteral("selectorAll"), {{QStringLiteral("selector"), selector}},
          [done](const QJsonValue &v) {
              QList<ElementSnapshot> out;
              for (const QJsonValue &item : v.toArray())
                  out.append(elementFromJson(item.toObject()));
              done(out);
          });
}

void WebEngineDocument::query(const QString &what, QJsonObject args, Reply done)
{
    const int id = m_nextQuery++;
    m_pending.insert(id, Pending{std::move(done), 0});
    send({{QStringLiteral("op"), QStringLiteral("query")},
          {QStringLiteral("id"), id},
          {QStringLiteral("what"), what},
          {QStringLiteral("args"), args}});
}

void WebEngineDocument::send(QJsonObject message)
{
    m_outgoing.append(message);
    scheduleFlush();
}

void WebEngineDocument::scheduleFlush()
{
    if (m_flushScheduled || m_awaiting || m_token == 0)
        return;
    m_flushScheduled = true;
    // One message to the page per turn of the event loop, in the order written.
    QMetaObject::invokeMethod(this, &WebEngineDocument::flush, Qt::QueuedConnection);
}

void WebEngineDocument::flush()
{
    m_flushScheduled = false;
    if (m_awaiting || m_token == 0 || m_outgoing.isEmpty())
        return;
    for (const QJsonValue &v : std::as_const(m_outgoing)) {
        const QJsonObject o = v.toObject();
        if (o.value(QLatin1String("op")).toString() == QLatin1String("query")) {
            auto it = m_pending.find(o.value(QLatin1String("id")).toInt());
            if (it != m_pending.end())
                it->token = m_token;
        }
    }
    const QJsonArray batch = m_outgoing;
    m_outgoing = QJsonArray();
    Q_EMIT deliver(batch);
}

void WebEngineDocument::failPending(bool queuedToo)
{
    QList<Reply> failed;
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it->token != 0 && it->token != m_token) {
            failed.append(std::move(it->done));
            it = m_pending.erase(it);
        } else if (queuedToo && it->token == 0) {
            failed.append(std::move(it->done));
            it = m_pending.erase(it);
        } else {
            ++it;
        }
    }
    if (queuedToo) {
        QJsonArray keep;
        for (const QJsonValue &v : std::as_const(m_outgoing)) {
            if (v.toObject().value(QLatin1String("op")).toString() != QLatin1String("query"))
                keep.append(v);
        }
        m_outgoing = keep;
    }
    if (failed.isEmpty())
        return;
    QMetaObject::invokeMethod(
        this,
        [failed] {
            for (const Reply &r : failed) {
                if (r)
                    r(QJsonValue());
            }
        },
        Qt::QueuedConnection);
}

void WebEngineDocument::awaitNewDocument(const QUrl &expected)
{
    m_awaiting = true;
    m_awaitedUrl = expected;
}

void WebEngineDocument::giveUpWaiting()
{
    m_awaiting = false;
    m_awaitedUrl = QUrl();
    m_token = 0;
    failPending(true);
}

void WebEngineDocument::hello(const QJsonObject &info)
{
    const qint64 token = qint64(info.value(QLatin1String("token")).toDouble());
    if (token == 0 || token == m_token)
        return;
    // The page before a written one may announce itself only after the write: it is no
    // longer the document, and the writes meant for the written page must not go to it.
    if (m_awaiting && !m_awaitedUrl.isEmpty() && QUrl(str(info, "url")) != m_awaitedUrl)
        return;
    m_token = token;
    m_awaiting = false;
    m_awaitedUrl = QUrl();
    m_editableFocus = false;
    failPending(false);

    const quint64 generation = m_snapshot.generation + 1;
    m_snapshot = DocumentSnapshot();
    m_snapshot.generation = generation;
    m_snapshot.url = QUrl(str(info, "url"));
    const QJsonObject first = info.value(QLatin1String("snapshot")).toObject();
    if (!first.isEmpty())
        snapshot(first);

    // The rules hold for every document; the new one gets them before anything else.
    QJsonArray outgoing;
    outgoing.append(QJsonObject{{QStringLiteral("op"), QStringLiteral("rules")},
                                {QStringLiteral("rules"), m_rules}});
    for (const QJsonValue &v : std::as_const(m_outgoing)) {
        if (v.toObject().value(QLatin1String("op")).toString() != QLatin1String("rules"))
            outgoing.append(v);
    }
    m_outgoing = outgoing;
    scheduleFlush();
    Q_EMIT documentCreated(m_snapshot.url, str(info, "readyState"));
}

void WebEngineDocument::snapshot(const QJsonObject &d)
{
    if (qint64(d.value(QLatin1String("token")).toDouble()) != m_token)
        return;
    DocumentSnapshot s;
    s.generation = m_snapshot.generation;
    s.readyState = readyStateFrom(str(d, "readyState"));
    s.title = str(d, "title");
    s.url = QUrl(str(d, "url"));
    s.metaDescription = str(d, "metaDescription");
    s.metaKeywords = str(d, "metaKeywords");
    s.frameCount = num(d, "frameCount");
    s.iframeCount = num(d, "iframeCount");
    s.frameElementCount = num(d, "frameElementCount");
    s.linkCount = num(d, "linkCount");
    s.imageCount = num(d, "imageCount");
    s.formCount = num(d, "formCount");
    s.compatMode = str(d, "compatMode");
    s.scrollTop = num(d, "scrollTop");
    s.scrollLeft = num(d, "scrollLeft");
    s.scrollHeight = num(d, "scrollHeight");
    s.clientHeight = num(d, "clientHeight");
    s.clientWidth = num(d, "clientWidth");
    s.contentHeight = num(d, "contentHeight");
    s.selectionText = str(d, "selectionText");
    s.bodyZoom = str(d, "bodyZoom");
    s.isFrameset = d.value(QLatin1String("isFrameset")).toBool();
    s.bodyTextLength = num(d, "bodyTextLength");
    s.lastModified = str(d, "lastModified");
    s.activeElementTag = str(d, "activeElementTag");
    s.activeElementEditable = d.value(QLatin1String("activeElementEditable")).toBool();
    const bool titleChanged = s.title != m_snapshot.title;
    m_snapshot = s;
    if (titleChanged)
        Q_EMIT titleReported(s.title);
    QPointer<WebEngineDocument> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, s] {
            if (self && self->m_listener)
                self->m_listener->snapshotChanged(s);
        },
        Qt::QueuedConnection);
}

void WebEngineDocument::domEvent(const QJsonObject &o)
{
    DomEvent e;
    e.type = DomEventType(num(o, "type"));
    e.source = elementFromJson(o.value(QLatin1String("source")).toObject());
    e.keyCode = num(o, "keyCode");
    e.modifiers = modifiersFromBits(num(o, "modifiers"));
    e.button = num(o, "button");
    e.buttons = num(o, "buttons");
    e.wheelDelta = num(o, "wheelDelta");
    e.clientX = num(o, "clientX");
    e.clientY = num(o, "clientY");
    e.frameIndex = num(o, "frameIndex");
    e.word = str(o, "word");
    e.defaultPrevented = o.value(QLatin1String("defaultPrevented")).toBool();
    if (e.type == DomEventType::FocusIn)
        m_editableFocus = e.source.isEditable;
    else if (e.type == DomEventType::FocusOut && e.source.isEditable)
        m_editableFocus = false;
    if ((e.type == DomEventType::Click || e.type == DomEventType::MouseUp) &&
        !e.source.linkHref.isEmpty())
        Q_EMIT linkClicked(QUrl(e.source.linkHref), e.source.linkTarget);
    // Out of the engine's callback before the program acts (it may open dialogs).
    QPointer<WebEngineDocument> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, e] {
            if (self && self->m_listener)
                self->m_listener->domEvent(e);
        },
        Qt::QueuedConnection);
}

void WebEngineDocument::state(const QString &readyState, double token)
{
    if (qint64(token) != m_token)
        return; // a document that has been replaced
    Q_EMIT readyStateReported(readyState);
}

void WebEngineDocument::reply(int id, const QJsonValue &result)
{
    auto it = m_pending.find(id);
    if (it == m_pending.end())
        return;
    Reply done = std::move(it->done);
    m_pending.erase(it);
    QMetaObject::invokeMethod(
        this,
        [done, result] {
            if (done)
                done(result);
        },
        Qt::QueuedConnection);
}

void WebEngineDocument::formSubmit(const QJsonObject &form)
{
    Q_EMIT formSubmitted(str(form, "method"), QUrl(str(form, "action")),
                         str(form, "body").toUtf8());
}

void WebEngineDocument::frameComplete(const QJsonObject &o)
{
    // A frame of a document that has been replaced meanwhile means nothing to the program.
    if (qint64(o.value(QLatin1String("token")).toDouble()) != m_token)
        return;
    FrameDocumentInfo f;
    f.frame = ElementRef::fromHandle(handleOf(o.value(QLatin1String("frame"))));
    f.frameIndex = num(o, "frameIndex");
    f.url = QUrl(str(o, "url"));
    f.bodyTextLength = num(o, "bodyTextLength");
    // At once, not queued: a frameset's own completion follows in this same turn, and the
    // program must know its frames by then.
    if (m_listener)
        m_listener->frameDocumentComplete(f);
}

namespace {
std::atomic<int> g_failedWrites{0};
} // namespace

int WebEngineDocument::failedWritesInProcess()
{
    return g_failedWrites.load();
}

void WebEngineDocument::writeFailed(const QJsonObject &failure)
{
    ++m_failedWrites;
    ++g_failedWrites;
    qWarning("page bridge: %s %s failed: %s", qPrintable(str(failure, "op")),
             qPrintable(str(failure, "what")), qPrintable(str(failure, "error")));
}
