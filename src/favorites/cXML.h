#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

struct AppContext;
struct FeedPage;

// One feed or outline on its way to the window: downloaded, turned into a page (off the
// main thread: a feed of megabytes must not stall the frame), written to the XML folder and
// shown there as one of the program's own pages.
class cXML : public QObject
{
    Q_OBJECT
public:
    cXML(AppContext &ctx, QObject *parent = nullptr);

    // windowIndex < 0: the page goes through LoadDocument; bookmark 0: not a favorite.
    void StartDownload(const QString &url, int windowIndex, double bookmark);

    // The address the window is sent to for a page file of the XML folder.
    static QString pageAddress(const QString &fileName);

Q_SIGNALS:
    // The page is shown (or could not be); the object may go.
    void finished();

private:
    void downloaded(const QByteArray &body, const QString &failure);
    void converted(const FeedPage &page);
    void show(const QString &address);

    AppContext &m_ctx;
    QString m_sourceUrl;
    int m_windowIndex = -1;
    double m_bookmark = 0;
};

// The viewers under way (OpenFeedViewer keeps each until its page has been written).
class FeedViewers : public QObject
{
    Q_OBJECT
public:
    explicit FeedViewers(AppContext &ctx, QObject *parent = nullptr);
    void OpenFeedViewer(const QString &url, double bookmark, int windowIndex);
    int live() const { return int(m_live.size()); }

private:
    AppContext &m_ctx;
    QList<QPointer<cXML>> m_live;
};
