#pragma once

#include <QByteArray>
#include <QString>

enum class FeedFormat { Rss, Rdf, Atom, Opml, Unreadable };

struct FeedPage
{
    FeedFormat format = FeedFormat::Unreadable;
    QString html;  // always a whole page: the feed's, or a message for what could not be read
    QString error; // empty when the document was read; else what went wrong (line, column)
};

// A downloaded feed (RSS, RDF, Atom) or outline (OPML) as the viewer's page, read in one
// streaming pass. A feed that is not a favorite (bookmark 0) gets the "Add to Favorites" form.
// Everything the document holds is shown as text and only web addresses become links: a feed
// is untrusted input.
FeedPage BuildFeedPage(const QByteArray &xml, const QString &sourceUrl, double bookmark);

// The page's file name in the XML folder: the address's base file name, "-" and its base host
// name, ".htm"; safe as a file name and never empty.
QString FeedFileName(const QString &sourceUrl);

// The text content of the whole document ("" when it cannot be read).
QString FeedDocumentText(const QByteArray &xml);
