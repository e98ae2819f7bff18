#pragma once

#include "platform/Document.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// The OpenLinks menu's five commands: which links of the page being read are queued to be
// read next.
enum class OpenLinksKind { All = 0, Images = 1, Internal = 2, External = 3, Selected = 4 };

// Addresses that are never opened: mail, downloads, media, scripts.
bool isSkippedLink(const QString &address);
// The address without its fragment (the part from "#" on).
QString withoutFragment(const QString &address);
// The site that internal and external links are measured against: the page's host, or
// "file://" for a local page. Empty when the address cannot be split.
QString siteOfPage(const QString &pageUrl);

// The addresses to queue, in page order. withFrames: the page is a frameset, so the links of
// its frames count and the top document's do not (it has none of its own to read).
[[nodiscard]] QStringList filterLinks(const QList<LinkInfo> &links, OpenLinksKind kind,
                                      const QString &site, bool withFrames);

// The links inside a piece of HTML (the selection), resolved against the page's address.
[[nodiscard]] QList<LinkInfo> linksInHtml(const QString &html, const QUrl &base);

// Runs one command on a document: gathers the candidates (the whole page's or the selection's
// links), filters them and hands every accepted address to load, in order. done gets the count.
void openAllLinks(Document &document, OpenLinksKind kind, const QString &pageUrl, bool withFrames,
                  std::function<void(const QString &address)> load,
                  std::function<void(int accepted)> done = {});

// The toolbar's "Open" button after it has been used.
QString openButtonTooltip();
