#include "FakeDocument.h"

#include "FakeBrowserControl.h"

#include <algorithm>

namespace {

constexpr int kSnapshotTextLimit = 4096;

QString refText(const ElementRef &ref)
{
    if (!ref.id.isEmpty())
        return ref.id;
    return ref.handle ? QStringLiteral("#%1").arg(ref.handle) : QString();
}

const Qt::KeyboardModifiers kEventModifierMask =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

DomNode *findBySerial(DomNode *root, qint64 serial)
{
    DomNode *found = nullptr;
    root->forEachElement([&](DomNode *element) {
        if (element->serial() == serial) {
            found = element;
            return false;
        }
        return true;
    });
    return found;
}

// Wraps each case-insensitive occurrence of a term in the text nodes under root.
void highlightIn(DomNode *root, const QStringList &terms, const QStringList &styles)
{
    QList<DomNode *> textNodes;
    std::function<void(DomNode *)> collect = [&](DomNode *node) {
        for (DomNode *child : node->childNodes()) {
            if (child->isText()) {
                textNodes.append(child);
            } else if (child->isElement() && !child->is(QStringLiteral("script")) &&
                       !child->is(QStringLiteral("style")) &&
                       !child->is(QStringLiteral("textarea"))) {
                collect(child);
            }
        }
    };
    collect(root);
    for (DomNode *text : textNodes) {
        DomNode *parent = text->parent();
        int index = text->indexInParent();
        QString rest = text->data();
        std::vector<std::unique_ptr<DomNode>> pieces;
        bool changed = false;
        while (!rest.isEmpty()) {
            int best = -1;
            int bestTerm = -1;
            for (int t = 0; t < terms.size(); ++t) {
                if (terms[t].isEmpty())
                    continue;
                const int at = int(rest.indexOf(terms[t], 0, Qt::CaseInsensitive));
                if (at >= 0 && (best < 0 || at < best)) {
                    best = at;
                    bestTerm = t;
                }
            }
            if (best < 0)
                break;
            changed = true;
            if (best > 0)
                pieces.push_back(DomNode::createText(rest.left(best)));
            auto font = DomNode::createElement(QStringLiteral("font"));
            if (!styles.isEmpty())
                font->setAttribute(QStringLiteral("style"), styles[bestTerm % int(styles.size())]);
            font->appendChild(DomNode::createText(rest.mid(best, terms[bestTerm].size())));
            pieces.push_back(std::move(font));
            rest = rest.mid(best + terms[bestTerm].size());
        }
        if (!changed)
            continue;
        if (!rest.isEmpty())
            pieces.push_back(DomNode::createText(rest));
        auto old = parent->takeChild(index);
        for (auto &piece : pieces)
            parent->insertChild(index++, std::move(piece));
    }
}

} // namespace

FakeDocument::FakeDocument(FakeWeb &web) : m_web(web), m_dom(std::make_unique<FakeDom>())
{}

FakeDocument::~FakeDocument()
{
    *m_alive = false;
}

// ---- the tree's life ----

void FakeDocument::beginDocument(const QUrl &url, const QString &html)
{
    m_dom = std::make_unique<FakeDom>(html);
    m_frames.clear();
    m_url = url;
    m_hasDocument = true;
    m_awaiting = false;
    ++m_generation;
    m_activeSerial = 0;
    m_activeFrame = -1;
    m_scrollTop = 0;
    m_scrollLeft = 0;
    m_selectionText.clear();
    m_selectionHtml.clear();
    m_readyState = ReadyState::Loading;
}

void FakeDocument::rewriteDocument(const QString &html)
{
    m_dom = std::make_unique<FakeDom>(html);
    m_frames.clear();
    ++m_generation;
    m_activeSerial = 0;
    m_activeFrame = -1;
    m_hasDocument = true;
    m_awaiting = false;
    m_readyState = ReadyState::Complete;
    notifySnapshot();
}

void FakeDocument::setReadyState(ReadyState state)
{
    m_readyState = state;
    if (state == ReadyState::Interactive || state == ReadyState::Complete) {
        auto pending = std::move(m_pendingWrites);
        m_pendingWrites.clear();
        for (auto &write : pending)
            write();
    }
    notifySnapshot();
}

int FakeDocument::addFrame(const QUrl &url, const QString &html, qint64 element)
{
    m_frames.push_back({url, std::make_unique<FakeDom>(html), element});
    return int(m_frames.size()) - 1;
}

void FakeDocument::replaceFrame(int index, const QUrl &url, const QString &html)
{
    if (index < 0 || index >= frameCount())
        return;
    Frame &frame = m_frames[size_t(index)];
    frame = {url, std::make_unique<FakeDom>(html), frame.element};
}

void FakeDocument::reportFrameComplete(int index)
{
    if (index < 0 || index >= frameCount() || !m_listener)
        return;
    const Frame &frame = m_frames[size_t(index)];
    // A frame of another origin is out of the program's reach.
    if (frame.url.scheme() != m_url.scheme() || frame.url.host() != m_url.host() ||
        frame.url.port() != m_url.port())
        return;
    FrameDocumentInfo info;
    info.frame = ElementRef::fromHandle(frame.element);
    info.frameIndex = index;
    info.url = frame.url;
    if (DomNode *body = frame.dom->body())
        info.bodyTextLength = int(body->innerText().size());
    m_listener->frameDocumentComplete(info);
}

int FakeDocument::frameIndexOf(const ElementRef &frameElement) const
{
    const DomNode *node = element(frameElement);
    if (!node || (!node->is(QStringLiteral("frame")) && !node->is(QStringLiteral("iframe"))))
        return -1;
    for (int i = 0; i < frameCount(); ++i) {
        if (m_frames[size_t(i)].element == node->serial())
            return i;
    }
    return -1;
}

void FakeDocument::notifySnapshot()
{
    if (m_listener)
        m_listener->snapshotChanged(snapshot());
}

// ---- lookups ----

FakeDom *FakeDocument::frameDom(int index) const
{
    if (index < 0 || index >= frameCount())
        return nullptr;
    return m_frames[size_t(index)].dom.get();
}

QUrl FakeDocument::frameUrl(int index) const
{
    return index >= 0 && index < frameCount() ? m_frames[size_t(index)].url : QUrl();
}

QUrl FakeDocument::documentUrl(int frameIndex) const
{
    return frameIndex < 0 ? m_url : frameUrl(frameIndex);
}

QList<FakeDom *> FakeDocument::allDoms() const
{
    QList<FakeDom *> doms{m_dom.get()};
    for (const Frame &frame : m_frames)
        doms.append(frame.dom.get());
    return doms;
}

DomNode *FakeDocument::element(const ElementRef &ref, int frameIndex) const
{
    if (ref.isNull() || !m_hasDocument)
        return nullptr;
    if (ref.handle) {
        for (FakeDom *dom : allDoms()) {
            if (DomNode *node = findBySerial(dom->document(), ref.handle))
                return node;
        }
        return nullptr;
    }
    FakeDom *dom = frameIndex < 0 ? m_dom.get() : frameDom(frameIndex);
    return dom ? dom->getElementById(ref.id) : nullptr;
}

int FakeDocument::frameOf(const DomNode *node) const
{
    if (!node)
        return -2;
    const DomNode *root = node;
    while (root->parent())
        root = root->parent();
    if (root == m_dom->document())
        return -1;
    for (int i = 0; i < frameCount(); ++i) {
        if (root == m_frames[size_t(i)].dom->document())
            return i;
    }
    return -2;
}

DomNode *FakeDocument::activeElement() const
{
    if (!m_activeSerial)
        return nullptr;
    FakeDom *dom = m_activeFrame < 0 ? m_dom.get() : frameDom(m_activeFrame);
    return dom ? findBySerial(dom->document(), m_activeSerial) : nullptr;
}

static bool editableElement(const DomNode *node)
{
    if (!node || !node->isElement())
        return false;
    if (node->is(QStringLiteral("textarea")) || node->is(QStringLiteral("select")))
        return true;
    if (node->is(QStringLiteral("input"))) {
        static const QStringList nonText{"checkbox", "radio", "submit", "button", "reset",
                                         "hidden",   "image", "file",   "color",  "range"};
        return !nonText.contains(node->type());
    }
    const QString editable = node->attribute(QStringLiteral("contenteditable"));
    return !editable.isNull() && editable.toLower() != QLatin1String("false");
}

ElementSnapshot FakeDocument::elementSnapshot(const DomNode *node, int frameIndex) const
{
    ElementSnapshot s;
    if (!node || !node->isElement())
        return s;
    auto *element = const_cast<DomNode *>(node);
    const QUrl base = documentUrl(frameIndex);
    s.handle = element->serial();
    s.id = element->id();
    s.tagName = element->tagName();
    s.className = element->className();
    s.name = element->attribute(QStringLiteral("name"));
    s.text = element->innerText().left(kSnapshotTextLimit);
    if (element->is(QStringLiteral("input")) || element->is(QStringLiteral("textarea")) ||
        element->is(QStringLiteral("select")) || element->is(QStringLiteral("option")) ||
        element->is(QStringLiteral("button")))
        s.value = element->value();
    s.checked = element->checked();
    if ((element->is(QStringLiteral("a")) || element->is(QStringLiteral("area"))) &&
        element->hasAttribute(QStringLiteral("href"))) {
        s.href = base.resolved(QUrl(element->href())).toString();
        s.target = element->attribute(QStringLiteral("target"));
    }
    if (element->is(QStringLiteral("input")))
        s.type = element->type();
    s.styleText = element->attribute(QStringLiteral("style"));
    s.isEditable = editableElement(element);
    for (DomNode *a = element; a && a->isElement(); a = a->parent()) {
        if ((a->is(QStringLiteral("a")) || a->is(QStringLiteral("area"))) &&
            a->hasAttribute(QStringLiteral("href"))) {
            s.linkHref = base.resolved(QUrl(a->href())).toString();
            s.linkTarget = a->attribute(QStringLiteral("target"));
            s.linkHandle = a->serial();
            break;
        }
    }
    return s;
}

DocumentSnapshot FakeDocument::snapshot() const
{
    DocumentSnapshot s;
    s.readyState = m_readyState;
    s.generation = m_generation;
    if (!m_hasDocument)
        return s;
    const FakeDom &dom = *m_dom;
    s.title = dom.title();
    s.url = m_url;
    s.metaDescription = dom.metaContent(QStringLiteral("description"));
    s.metaKeywords = dom.metaContent(QStringLiteral("keywords"));
    s.iframeCount = int(dom.getElementsByTagName(QStringLiteral("iframe")).size());
    s.frameElementCount = int(dom.getElementsByTagName(QStringLiteral("frame")).size());
    s.frameCount = s.iframeCount + s.frameElementCount;
    s.linkCount = int(dom.links().size());
    s.imageCount = int(dom.images().size());
    s.formCount = int(dom.forms().size());
    s.compatMode = dom.compatMode();
    s.scrollTop = m_scrollTop;
    s.scrollLeft = m_scrollLeft;
    s.scrollHeight = m_scrollHeight;
    s.clientHeight = m_clientHeight;
    s.clientWidth = m_clientWidth;
    s.selectionText = m_selectionText;
    if (DomNode *body = dom.body()) {
        s.bodyZoom = body->style(QStringLiteral("zoom"));
        s.isFrameset = body->is(QStringLiteral("frameset"));
        s.bodyTextLength = int(body->innerText().size());
    }
    if (DomNode *active = activeElement()) {
        s.activeElementTag = active->tagName();
        s.activeElementEditable = editableElement(active);
    }
    return s;
}

// ---- writes ----

void FakeDocument::record(const QString &operation, const ElementRef &target, const QString &name,
                          const QString &value)
{
    m_writes.append({operation, refText(target), name, value});
}

void FakeDocument::apply(std::function<void()> write)
{
    if (m_hasDocument && !m_awaiting &&
        (m_readyState == ReadyState::Interactive || m_readyState == ReadyState::Complete))
        write();
    else
        m_pendingWrites.push_back(std::move(write));
}

void FakeDocument::setEventRules(const QList<EventRule> &rules)
{
    m_rules = rules;
}

void FakeDocument::writeElement(const ElementRef &ref, std::function<void(DomNode &)> write)
{
    apply([this, ref, write = std::move(write)] {
        if (DomNode *node = element(ref))
            write(*node);
    });
}

void FakeDocument::setInnerHTML(const ElementRef &ref, const QString &html)
{
    writeElement(ref, [html](DomNode &node) { node.setInnerHTML(html); });
}

void FakeDocument::setInnerText(const ElementRef &ref, const QString &text)
{
    writeElement(ref, [text](DomNode &node) { node.setInnerText(text); });
}

void FakeDocument::setOuterHTML(const ElementRef &ref, const QString &html)
{
    writeElement(ref, [html](DomNode &node) { (void)node.setOuterHTML(html); });
}

void FakeDocument::insertAdjacentHTML(const ElementRef &ref, const QString &where,
                                      const QString &html)
{
    writeElement(ref, [where, html](DomNode &node) { (void)node.insertAdjacentHTML(where, html); });
}

void FakeDocument::setStyle(const ElementRef &ref, const QString &property, const QString &value)
{
    writeElement(ref, [property, value](DomNode &node) { node.setStyle(property, value); });
}

void FakeDocument::setAttribute(const ElementRef &ref, const QString &name, const QString &value)
{
    writeElement(ref, [name, value](DomNode &node) { node.setAttribute(name, value); });
}

void FakeDocument::setValue(const ElementRef &ref, const QString &value)
{
    writeElement(ref, [value](DomNode &node) { node.setValue(value); });
}

void FakeDocument::setChecked(const ElementRef &ref, bool checked)
{
    writeElement(ref, [checked](DomNode &node) { node.setChecked(checked); });
}

void FakeDocument::addCssRule(const QString &selector, const QString &declarations)
{
    apply([this, selector, declarations] {
        // As the page's sheet writes the rule back.
        QString rule = declarations.trimmed();
        if (!rule.endsWith(u';'))
            rule += u';';
        m_cssRules.append(selector + QStringLiteral(" { ") + rule + QStringLiteral(" }"));
    });
}

// Images and forms are the engine tests'.
void FakeDocument::scaleImages(double)
{}
void FakeDocument::fillForms(const QList<FormFill> &)
{}
void FakeDocument::resetForms()
{}

void FakeDocument::setBodyZoom(const QString &zoom)
{
    apply([this, zoom] {
        if (DomNode *body = m_dom->body())
            body->setStyle(QStringLiteral("zoom"), zoom);
    });
}

void FakeDocument::scrollTo(int x, int y)
{
    record(QStringLiteral("scrollTo"), {}, QString::number(x), QString::number(y));
    apply([this, x, y] {
        m_scrollLeft = std::max(0, x);
        setScrollTop(y);
    });
}

void FakeDocument::scrollFramePage(int direction, int overlap, std::optional<QPoint> at)
{
    // The double has no frame geometry: only the top document pages, when it is the one meant.
    if (at || m_activeFrame >= 0)
        return;
    apply([this, direction, overlap] {
        const int page = std::max(1, m_clientHeight - overlap);
        setScrollTop(m_scrollTop + (direction > 0 ? page : -page));
    });
}

void FakeDocument::setScrollTop(int scrollTop)
{
    m_scrollTop = std::clamp(scrollTop, 0, std::max(0, m_scrollHeight - m_clientHeight));
    notifySnapshot();
}

void FakeDocument::setScrollMetrics(int scrollHeight, int clientHeight, int clientWidth)
{
    m_scrollHeight = scrollHeight;
    m_clientHeight = clientHeight;
    m_clientWidth = clientWidth;
    m_scrollTop = std::clamp(m_scrollTop, 0, std::max(0, m_scrollHeight - m_clientHeight));
}

void FakeDocument::setSelection(const QString &text, const QString &html)
{
    m_selectionText = text;
    m_selectionHtml = html.isNull() ? FakeDom::escapeText(text) : html;
    notifySnapshot();
}

void FakeDocument::selectContents(const ElementRef &ref, int frameIndex)
{
    DomNode *node = element(ref, frameIndex);
    if (!node)
        return;
    FakeDom copy(QStringLiteral("<body>") + node->innerHTML() + QStringLiteral("</body>"));
    QUrl base = documentUrl(frameIndex);
    FakeDom *dom = frameIndex < 0 ? m_dom.get() : frameDom(frameIndex);
    if (const QList<DomNode *> bases =
            dom->document()->querySelectorAll(QStringLiteral("base[href]"));
        !bases.isEmpty())
        base = base.resolved(QUrl(bases.first()->href()));
    for (DomNode *link : copy.document()->querySelectorAll(QStringLiteral("a[href], area[href]")))
        link->setAttribute(QStringLiteral("href"), base.resolved(QUrl(link->href())).toString());
    setSelection(node->innerText(), copy.body()->innerHTML());
}

void FakeDocument::scrollIntoView(const ElementRef &)
{}

// The page reports a focus the program moved on a later turn, as the engine does.
void FakeDocument::focus(const ElementRef &ref)
{
    record(QStringLiteral("focus"), ref, {}, {});
    apply([this, ref] {
        m_web.post(m_alive, [this, ref] {
            if (ref.isNull()) {
                moveFocus(nullptr);
                return;
            }
            if (DomNode *node = element(ref))
                moveFocus(node, frameOf(node));
        });
    });
}

void FakeDocument::selectText(const ElementRef &ref)
{
    apply([this, ref] {
        m_web.post(m_alive, [this, ref] {
            if (DomNode *node = element(ref))
                moveFocus(node, frameOf(node));
        });
    });
}

void FakeDocument::moveFocus(DomNode *node, int frameIndex)
{
    DomNode *old = activeElement();
    if (old == node && (node || m_activeSerial == 0))
        return;
    const int oldFrame = m_activeFrame;
    m_activeSerial = node ? node->serial() : 0;
    m_activeFrame = node ? frameIndex : -1;
    auto alive = std::weak_ptr<bool>(m_alive);
    if (old)
        dispatch(DomEventType::FocusOut, old, oldFrame);
    if (alive.expired())
        return;
    if (node)
        dispatch(DomEventType::FocusIn, node, frameIndex);
    if (alive.expired())
        return;
    notifySnapshot();
}

void FakeDocument::highlightTerms(const QStringList &terms, const QStringList &styles)
{
    record(QStringLiteral("highlight"), {}, terms.join(u'\n'), styles.join(u'\n'));
    apply([this, terms, styles] {
        if (DomNode *body = m_dom->body())
            highlightIn(body, terms, styles);
    });
}

void FakeDocument::stopHighlighting()
{
    record(QStringLiteral("stopHighlight"), {}, {}, {});
}

// Taking the marks away again is the engine tests'.
void FakeDocument::removeHighlights()
{
    record(QStringLiteral("removeHighlights"), {}, {}, {});
}

DomNode *FakeDocument::frameBody(const ElementRef &frame) const
{
    FakeDom *dom = frameDom(frameIndexOf(frame));
    return dom ? dom->body() : nullptr;
}

void FakeDocument::setFrameBodyZoom(const ElementRef &frame, const QString &zoom)
{
    record(QStringLiteral("frameZoom"), frame, {}, zoom);
    apply([this, frame, zoom] {
        if (DomNode *body = frameBody(frame))
            body->setStyle(QStringLiteral("zoom"), zoom);
    });
}

void FakeDocument::highlightFrameTerms(const ElementRef &frame, const QStringList &terms,
                                       const QStringList &styles)
{
    apply([this, frame, terms, styles] {
        if (DomNode *body = frameBody(frame))
            highlightIn(body, terms, styles);
    });
}

void FakeDocument::execCommand(const QString &command, bool showUi, const QString &value)
{
    record(QStringLiteral("execCommand"), {}, command, value);
    Q_UNUSED(showUi);
}

QList<FakeDocument::Write> FakeDocument::writesOf(const QString &operation) const
{
    QList<Write> result;
    for (const Write &w : m_writes) {
        if (w.operation == operation)
            result.append(w);
    }
    return result;
}

// ---- events ----

bool FakeDocument::eventRuleMatches(const EventRule &rule, DomEventType type, const DomNode *source,
                                    Qt::KeyboardModifiers modifiers, int buttons, int keyCode) const
{
    if (rule.type != type)
        return false;
    if (rule.keyCode && *rule.keyCode != keyCode)
        return false;
    if (rule.modifiers &&
        (*rule.modifiers & kEventModifierMask) != (modifiers & kEventModifierMask))
        return false;
    if (rule.buttons && *rule.buttons != buttons)
        return false;
    if (rule.selector.isEmpty())
        return true;
    for (const DomNode *node = source; node && node->isElement(); node = node->parent()) {
        if (node->matches(rule.selector))
            return true;
    }
    return false;
}

DomEvent FakeDocument::dispatch(DomEventType type, DomNode *source, int frameIndex,
                                Qt::KeyboardModifiers modifiers, int button, int buttons,
                                int keyCode, int wheelDelta)
{
    DomEvent event;
    event.type = type;
    if (!source && m_hasDocument) {
        FakeDom *dom = frameIndex < 0 ? m_dom.get() : frameDom(frameIndex);
        source = dom ? dom->body() : nullptr;
    }
    event.source = elementSnapshot(source, frameIndex);
    event.keyCode = keyCode;
    event.modifiers = modifiers & kEventModifierMask;
    event.button = button;
    event.buttons = buttons;
    event.wheelDelta = wheelDelta;
    event.frameIndex = frameIndex;
    for (const EventRule &rule : m_rules) {
        if (eventRuleMatches(rule, type, source, modifiers, buttons, keyCode) &&
            rule.preventDefault)
            event.defaultPrevented = true;
    }
    if (m_listener)
        m_listener->domEvent(event);
    return event;
}

// ---- queries ----

template <typename Result>
void FakeDocument::answer(std::function<void(const Result &)> done, std::function<Result()> compute)
{
    if (!done)
        return;
    // Computed now, so the answer reflects the writes made before the query, as in the page.
    Result result = m_hasDocument ? compute() : Result();
    const quint64 generation = m_generation;
    m_web.post(m_alive, [this, done = std::move(done), result = std::move(result), generation] {
        done(generation == m_generation ? result : Result());
    });
}

void FakeDocument::queryLinks(std::function<void(const QList<LinkInfo> &)> done)
{
    answer<QList<LinkInfo>>(std::move(done), [this] {
        QList<LinkInfo> links;
        for (int f = -1; f < frameCount(); ++f) {
            FakeDom *dom = f < 0 ? m_dom.get() : frameDom(f);
            for (DomNode *link : dom->links()) {
                links.append({documentUrl(f).resolved(QUrl(link->href())).toString(),
                              link->innerHTML(), link->innerText(), f});
            }
        }
        return links;
    });
}

void FakeDocument::queryForms(std::function<void(const QList<FormInfo> &)> done)
{
    answer<QList<FormInfo>>(std::move(done), [this] {
        QList<FormInfo> forms;
        for (int f = -1; f < frameCount(); ++f) {
            FakeDom *dom = f < 0 ? m_dom.get() : frameDom(f);
            for (DomNode *form : dom->forms()) {
                FormInfo info;
                info.name = form->attribute(QStringLiteral("name"));
                info.id = form->id();
                info.action = documentUrl(f)
                                  .resolved(QUrl(form->attribute(QStringLiteral("action"))))
                                  .toString();
                info.method = form->attribute(QStringLiteral("method")).toLower();
                if (info.method.isEmpty())
                    info.method = QStringLiteral("get");
                info.frameIndex = f;
                for (DomNode *field : dom->formFields(form)) {
                    if (field->is(QStringLiteral("button")))
                        continue;
                    info.fields.append({field->tagName(), field->type(),
                                        field->attribute(QStringLiteral("name")), field->id(),
                                        field->value(), field->checked()});
                }
                forms.append(info);
            }
        }
        return forms;
    });
}

void FakeDocument::queryMeta(std::function<void(const QList<MetaInfo> &)> done)
{
    answer<QList<MetaInfo>>(std::move(done), [this] {
        QList<MetaInfo> metas;
        for (DomNode *meta : m_dom->getElementsByTagName(QStringLiteral("meta"))) {
            metas.append({meta->attribute(QStringLiteral("name")),
                          meta->attribute(QStringLiteral("http-equiv")),
                          meta->attribute(QStringLiteral("content"))});
        }
        return metas;
    });
}

void FakeDocument::queryHeadings(std::function<void(const QList<HeadingInfo> &)> done)
{
    answer<QList<HeadingInfo>>(std::move(done), [this] {
        QList<HeadingInfo> headings;
        for (DomNode *h : m_dom->headings())
            headings.append({h->localName().mid(1).toInt(), h->innerText(), h->id(), h->serial()});
        return headings;
    });
}

void FakeDocument::queryOuterHTML(std::function<void(const QString &)> done)
{
    answer<QString>(std::move(done), [this] {
        DomNode *root = m_dom->documentElement();
        return root ? root->outerHTML() : QString();
    });
}

void FakeDocument::queryFrameSources(std::function<void(const QList<FrameSource> &)> done)
{
    // The double's frames have no documents of their own to give.
    answer<QList<FrameSource>>(std::move(done), [] { return QList<FrameSource>(); });
}

void FakeDocument::queryCookie(std::function<void(const QString &)> done)
{
    answer<QString>(std::move(done), [] { return QString(); });
}

void FakeDocument::queryBodyText(std::function<void(const QString &)> done)
{
    answer<QString>(std::move(done), [this] {
        DomNode *body = m_dom->body();
        return body ? body->innerText() : QString();
    });
}

void FakeDocument::queryStyleSheets(std::function<void(const QList<StyleSheetInfo> &)> done)
{
    answer<QList<StyleSheetInfo>>(std::move(done), [this] {
        QList<StyleSheetInfo> sheets;
        for (DomNode *style : m_dom->getElementsByTagName(QStringLiteral("style")))
            sheets.append({QString(), style->textContent()});
        if (!m_cssRules.isEmpty())
            sheets.append({QString(), m_cssRules.join(u'\n')});
        return sheets;
    });
}

void FakeDocument::querySelectionForCopy(std::function<void(const QString &)> done)
{
    querySelectedHTML(std::move(done)); // the double's selections hold no scripts
}

void FakeDocument::querySelectedHTML(std::function<void(const QString &)> done)
{
    answer<QString>(std::move(done), [this] { return m_selectionHtml; });
}

void FakeDocument::queryElement(const ElementRef &ref,
                                std::function<void(const std::optional<ElementSnapshot> &)> done)
{
    answer<std::optional<ElementSnapshot>>(std::move(done), [this, ref] {
        DomNode *node = element(ref);
        return node ? std::optional<ElementSnapshot>(elementSnapshot(node, frameOf(node)))
                    : std::nullopt;
    });
}

void FakeDocument::querySelectorAll(const QString &selector,
                                    std::function<void(const QList<ElementSnapshot> &)> done)
{
    answer<QList<ElementSnapshot>>(std::move(done), [this, selector] {
        QList<ElementSnapshot> result;
        for (DomNode *node : m_dom->document()->querySelectorAll(selector))
            result.append(elementSnapshot(node, -1));
        return result;
    });
}
