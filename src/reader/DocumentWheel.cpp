#include "reader/DocumentWheel.h"

#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/Navigator.h"
#include "reader/Reader.h"
#include "reader/WheelGestures.h"

DocumentWheel::DocumentWheel(Reader &reader, Navigator &nav) : m_reader(reader), m_nav(nav)
{}

void DocumentWheel::forget(const DocumentWindow &w)
{
    m_memo.remove(&w);
}

void DocumentWheel::snapshotChanged(const DocumentWindow &w, const DocumentSnapshot &s)
{
    auto it = m_memo.find(&w);
    if (it == m_memo.end())
        return;
    Memo &memo = it.value();
    if (memo.scrollFrom >= 0 && memo.generation == s.generation && s.scrollTop != memo.scrollFrom)
        memo.scrollFrom = memo.scrollTo = -1;
}

bool DocumentWheel::turn(DocumentWindow &w, const WheelInfo &wheel)
{
    AppContext &ctx = m_reader.ctx;
    // The wheel acts on what the user reads, whichever document it turned over.
    DocumentWindow *target = m_reader.pool.current();
    if (!target || !target->brwWebBrowser)
        target = &w;
    if (!target->brwWebBrowser)
        return false;
    const bool right = wheel.buttons & Qt::RightButton;
    const WheelDecision d = decideWheel(wheel.modifiers, right, ctx.gbOptBit8);
    if (d.suppressContextMenu)
        m_nav.gbSuppressContextMenu = true;
    Document &doc = target->brwWebBrowser->document();
    const DocumentSnapshot s = doc.snapshot();
    Memo &memo = m_memo[target];
    if (memo.generation != s.generation) {
        memo.generation = s.generation;
        memo.scrollFrom = memo.scrollTo = -1;
        memo.remainder = 0;
    }
    // Until the snapshot shows our last scroll, the page is where we sent it.
    const int scrollTop =
        (memo.scrollFrom >= 0 && s.scrollTop == memo.scrollFrom) ? memo.scrollTo : s.scrollTop;
    switch (d.action) {
    case WheelAction::Platform:
        // A turn over a background window still belongs to the current one.
        if (target != &w) {
            const int to =
                clampScrollTop(scrollTop - wheel.delta * 100 / 120, s.scrollHeight, s.clientHeight);
            memo.scrollFrom = s.scrollTop;
            memo.scrollTo = to;
            doc.scrollTo(s.scrollLeft, to);
            return true;
        }
        memo.scrollFrom = memo.scrollTo = -1;
        return false;
    case WheelAction::Zoom: {
        const int notches = wholeNotches(memo.remainder, wheel.delta);
        if (notches == 0)
            return true;
        if (s.isFrameset) {
            // A frameset has no body to zoom: the whole view zooms instead.
            BrowserControl *c = target->brwWebBrowser;
            QString zoom = QString::number(c->zoomFactor() * 100) + QLatin1Char('%');
            for (int i = 0; i < qAbs(notches); ++i)
                zoom = zoomAfterWheel(zoom, notches);
            c->setZoomFactor(zoomPercent(zoom) / 100.0);
            m_nav.miZoom = zoomPercent(zoom);
            return true;
        }
        // The document knows the zoom the program wrote last, before the page confirms it.
        QString zoom = s.bodyZoom;
        for (int i = 0; i < qAbs(notches); ++i)
            zoom = zoomAfterWheel(zoom, notches);
        // The page's frames keep the page's size: their bodies are out of the body's zoom.
        target->setDocumentZoom(zoom);
        m_nav.miZoom = zoomPercent(zoom);
        return true;
    }
    case WheelAction::PageScroll: {
        const int notches = wholeNotches(memo.remainder, wheel.delta);
        if (notches == 0)
            return true;
        if (s.isFrameset) {
            // Page by page in the frame under the pointer.
            for (int i = 0; i < qAbs(notches); ++i)
                doc.scrollFramePage(notches < 0 ? 1 : -1, kPageOverlap, wheel.position);
            return true;
        }
        int to = scrollTop;
        for (int i = 0; i < qAbs(notches); ++i)
            to = clampScrollTop(pageScrollTarget(to, s.clientHeight, notches), s.scrollHeight,
                                s.clientHeight);
        memo.scrollFrom = s.scrollTop;
        memo.scrollTo = to;
        doc.scrollTo(s.scrollLeft, to);
        return true;
    }
    }
    return false;
}
