#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

// Serves the program's pages folder and the pages written by the program, and refuses every
// request that web content makes for them.
class ProgramSchemeHandler : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT
public:
    explicit ProgramSchemeHandler(QString pagesPath, QObject *parent = nullptr);

    void requestStarted(QWebEngineUrlRequestJob *job) override;

    QString pagesPath() const { return m_pagesPath; }
    // Addresses "XML/<file>" are served from this folder.
    void setXmlPath(const QString &path) { m_xmlPath = path; }

    // Keeps a written page under a new address; the oldest pages of an owner are dropped
    // beyond kPagesPerOwner (Back and Forward reach that many).
    QUrl addWrittenPage(quintptr owner, const QString &name, const QByteArray &html);
    void dropOwner(quintptr owner);
    int writtenPageCount() const { return int(m_pages.size()); }

    static constexpr int kPagesPerOwner = 16;

    // The file under the pages folder that url names, or empty when it lies outside it.
    [[nodiscard]] QString localPath(const QUrl &url) const;

private:
    struct Written
    {
        quintptr owner = 0;
        QByteArray html;
    };
    QString m_pagesPath;
    QString m_xmlPath;
    QHash<QString, Written> m_pages; // by URL path
    QHash<quintptr, QStringList> m_order;
    quint64 m_next = 1;
};

// An address of the program's scheme may be requested by the program (no initiator) or by
// the program's own pages only.
[[nodiscard]] bool programInitiator(const QUrl &initiator);
