#pragma once

#include "platform/BrowserControl.h"
#include "platform/Document.h"

#include <QHash>

class DocumentWindow;
class Navigator;
class Reader;

// The wheel over a document window: zoom, page-wise scrolling and the engine's own step, with
// what it remembers of each window's last turns.
class DocumentWheel
{
public:
    DocumentWheel(Reader &reader, Navigator &nav);

    // True when the turn was used (the engine does not scroll).
    bool turn(DocumentWindow &w, const WheelInfo &wheel);
    // The page moved away from where the wheel last left it: what the wheel wrote is done with.
    void snapshotChanged(const DocumentWindow &w, const DocumentSnapshot &s);
    void forget(const DocumentWindow &w);

private:
    // Where the wheel last sent the page: its snapshot arrives later, so quick turns build on
    // this until it has caught up (the zoom is known at once).
    struct Memo
    {
        quint64 generation = 0;
        int scrollFrom = -1;
        int scrollTo = -1;
        int remainder = 0; // parts of a notch not acted on yet
    };

    Reader &m_reader;
    Navigator &m_nav;
    QHash<const DocumentWindow *, Memo> m_memo;
};
