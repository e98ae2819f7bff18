#include "reader/cFrame.h"

#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"
#include "reader/WheelGestures.h"

cFrame::cFrame(DocumentWindow &owner, int index) : m_owner(owner), m_index(index)
{}

void cFrame::docHTML(const FrameDocumentInfo &frame, int slot)
{
    m_frame = frame;
    miTag = slot;
}

Document *cFrame::document() const
{
    return m_owner.DocumentObject();
}

void cFrame::zSetFocus()
{
    Document *doc = document();
    if (!doc || m_frame.frame.isNull())
        return;
    if (m_owner.brwWebBrowser)
        m_owner.brwWebBrowser->setFocus();
    doc->focus(m_frame.frame);
}

void cFrame::HighlightDoc()
{
    Document *doc = document();
    const HighlightWords words = m_owner.reader().host.highlightWords();
    if (doc && words.isOn())
        doc->highlightFrameTerms(m_frame.frame, words.terms, words.styles);
}

void cFrame::setZoom(const QString &zoom)
{
    if (Document *doc = document())
        doc->setFrameBodyZoom(m_frame.frame, zoom);
}

void cFrame::Doc_onreadystatechange()
{
    Document *doc = document();
    if (!doc)
        return;
    Reader &reader = m_owner.reader();
    // A frameset's frames are zoomed with the whole view; their bodies must not add to it.
    // Any other page's frames keep their own body zoom, which the page's zoom does not reach.
    if (reader.ctx.gsngPageZoom != 0 && !doc->snapshot().isFrameset)
        setZoom(zoomText(reader.ctx.gsngPageZoom));
    if (m_owner.bActiveForm)
        HighlightDoc();
    if (m_frame.bodyTextLength > m_owner.mlLargestFrameLength) {
        m_owner.mlLargestFrameLength = m_frame.bodyTextLength;
        m_owner.miLargestFrame = m_index;
    }
}
