#include "WebEnginePlatform.h"

#include "ProgramSchemeHandler.h"
#include "WebEngineControl.h"

#include "platform/PageWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>
#include <QWebEngineUrlScheme>

void WebEnginePlatform::registerSchemes()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    QWebEngineUrlScheme pages(ProgramPages::kScheme);
    pages.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    // Local: web content can neither load from it nor navigate to it. Not CORS-enabled.
    pages.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme |
                   QWebEngineUrlScheme::LocalAccessAllowed |
                   QWebEngineUrlScheme::ContentSecurityPolicyIgnored);
    QWebEngineUrlScheme::registerScheme(pages);
    // Command links ("skl:") are deliberately not registered: registered, the renderer blocks
    // them before the program sees them. Unregistered, every navigation to one reaches
    // acceptNavigationRequest, which always refuses it (so it never goes to the desktop).
}

static void initResources()
{
    // The bridge script lives in this static library's resources.
    Q_INIT_RESOURCE(webengine);
}

WebEnginePlatform::WebEnginePlatform(const WebEngineOptions &options, QObject *parent)
    : QObject(parent)
{
    initResources();
    if (options.storagePath.isEmpty()) {
        m_profile = new QWebEngineProfile(this); // off the record
    } else {
        m_profile = new QWebEngineProfile(QStringLiteral("skimline"), this);
        QDir().mkpath(options.storagePath);
        m_profile->setPersistentStoragePath(options.storagePath);
        m_profile->setCachePath(QDir(options.storagePath).filePath(QStringLiteral("cache")));
    }
    if (!options.userAgent.isEmpty()) {
        m_profile->setHttpUserAgent(options.userAgent);
        m_profile->setProperty(WebEngineControl::kProgramAgentProperty, true);
    }
    m_schemeHandler = new ProgramSchemeHandler(options.pagesPath, this);
    m_schemeHandler->setXmlPath(options.xmlPath);
    m_profile->installUrlSchemeHandler(ProgramPages::kScheme, m_schemeHandler);

    connect(m_profile, &QWebEngineProfile::downloadRequested, this,
            [](QWebEngineDownloadRequest *download) {
                if (download->isSavePageDownload()) {
                    download->accept();
                    return;
                }
                if (WebEngineControl *control = WebEngineControl::fromPage(download->page())) {
                    control->handleDownload(download);
                    return;
                }
                download->cancel();
            });
}

WebEnginePlatform::~WebEnginePlatform()
{
    // Controls hand their pages to deleteLater: the pages must go before the profile.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString WebEnginePlatform::pagesPath() const
{
    return m_schemeHandler->pagesPath();
}

std::unique_ptr<BrowserControl> WebEnginePlatform::createControl()
{
    return createWebEngineControl();
}

std::unique_ptr<WebEngineControl> WebEnginePlatform::createWebEngineControl()
{
    return std::make_unique<WebEngineControl>(m_profile, m_schemeHandler);
}
