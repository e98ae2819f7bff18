#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include "platform/BrowserControl.h"

class QWebEngineProfile;
class ProgramSchemeHandler;
class WebEngineControl;

struct WebEngineOptions
{
    QString pagesPath;   // the program's pages folder, served under ProgramPages::url()
    QString storagePath; // cookies and cache; empty: nothing is kept on disk
    QString userAgent;   // empty: the engine's own
    // A folder of pages the program generates into files (feed pages), served as its own
    // pages under ProgramPages::url(QStringLiteral("XML/") + file name).
    QString xmlPath;
};

// All controls share one profile, the program-pages scheme and the download handling.
class WebEnginePlatform : public QObject, public BrowserFactory
{
    Q_OBJECT
public:
    // Call first in main(), before the QApplication exists.
    static void registerSchemes();

    explicit WebEnginePlatform(const WebEngineOptions &options, QObject *parent = nullptr);
    ~WebEnginePlatform() override;

    std::unique_ptr<BrowserControl> createControl() override;
    // The concrete type, for tests that reach the view.
    std::unique_ptr<WebEngineControl> createWebEngineControl();

    QWebEngineProfile *profile() const { return m_profile; }
    ProgramSchemeHandler *schemeHandler() const { return m_schemeHandler; }
    QString pagesPath() const;

private:
    QWebEngineProfile *m_profile = nullptr;
    ProgramSchemeHandler *m_schemeHandler = nullptr;
};
