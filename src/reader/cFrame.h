#pragma once

#include "platform/Document.h"

class DocumentWindow;

// One frame document of a document window, from the frame's completion until the window's
// next top-level document: the page zoom and the search words for the frame, and the measure
// by which the window finds its largest frame to give the keyboard.
class cFrame
{
public:
    // index: this frame's place in the owner's frame list (miLargestFrame refers to it).
    cFrame(DocumentWindow &owner, int index);

    // Binds the handler to the frame's document and the owning window's slot.
    void docHTML(const FrameDocumentInfo &frame, int slot);
    void zSetFocus();
    void HighlightDoc();
    // The frame's document is complete: zoom, highlighting, the largest-frame measure.
    void Doc_onreadystatechange();
    // Writes the window's current zoom into the frame ("" clears it).
    void setZoom(const QString &zoom);

    const FrameDocumentInfo &frame() const { return m_frame; }
    int index() const { return m_index; }
    int slot() const { return miTag; }

private:
    Document *document() const;

    DocumentWindow &m_owner;
    int m_index;
    int miTag = -1;
    FrameDocumentInfo m_frame;
};
