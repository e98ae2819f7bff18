#include "reader/frmBrowser.h"

#include "platform/PageWriter.h"
#include "startup/AppContext.h"

#include <QCloseEvent>
#include <QVBoxLayout>

frmBrowser::frmBrowser(AppContext &ctx, std::unique_ptr<BrowserControl> control, QWidget *parent)
    : QWidget(parent), m_ctx(ctx), m_control(std::move(control))
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    brwWebBrowser = m_control.get();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (brwWebBrowser) {
        brwWebBrowser->setListener(this);
        if (QWidget *view = brwWebBrowser->widget())
            layout->addWidget(view);
    }
}

frmBrowser::~frmBrowser()
{
    if (brwWebBrowser)
        brwWebBrowser->setListener(nullptr);
    // The control owns its widget; take it out of the layout before both go.
    if (brwWebBrowser && brwWebBrowser->widget())
        brwWebBrowser->widget()->setParent(nullptr);
    m_control.reset();
}

void frmBrowser::InitializeForm(int iTag, bool bNext)
{
    miTag = iTag;
    msKey = QString::number(iTag) + QLatin1Char('K');
    mbNext = bNext;
    bActiveForm = (iTag == m_ctx.giCurrentWindow);
    bAllowOpenInNewWindow = false;
    bNavigateInOtherWindow = false;
}

void frmBrowser::zClose()
{
    close();
}

void frmBrowser::zSetFocus()
{
    if (brwWebBrowser)
        brwWebBrowser->setFocus();
}

void frmBrowser::closeEvent(QCloseEvent *event)
{
    mbClosing = true;
    if (brwWebBrowser)
        brwWebBrowser->stop();
    event->accept();
}

void frmBrowser::navigateComplete(BrowserControl &, const QUrl &url, bool isTopFrame)
{
    if (!isTopFrame || mbClosing)
        return;
    msURL = url.toString();
    mbDocWritten = ProgramPages::isWrittenPage(url);
    if (strDocumentTitle.isEmpty())
        strDocumentTitle = msURL;
}

void frmBrowser::documentComplete(BrowserControl &, const QUrl &url, bool isTopFrame)
{
    if (!isTopFrame || mbClosing)
        return;
    msReadyState = QStringLiteral("c");
    ++miCompleted;
    bNavigateInOtherWindow = true;
    Q_EMIT documentCompleted(url.toString());
    Q_EMIT loadingChanged(false);
}

void frmBrowser::downloadBegin(BrowserControl &)
{
    msReadyState = QStringLiteral("b");
    if (bActiveForm)
        Q_EMIT progressTextChange(QString());
    Q_EMIT loadingChanged(true);
}

void frmBrowser::downloadComplete(BrowserControl &)
{
    if (msReadyState == QLatin1String("b"))
        msReadyState = QStringLiteral("i");
}

void frmBrowser::titleChanged(BrowserControl &, const QString &title)
{
    if (mbClosing)
        return;
    strDocumentTitle = title;
    setWindowTitle(title);
    Q_EMIT titleChange(title);
}

void frmBrowser::statusTextChanged(BrowserControl &, const QString &text)
{
    if (bActiveForm)
        Q_EMIT statusTextChange(text);
}

void frmBrowser::progressChanged(BrowserControl &, int progress, int progressMax)
{
    if (bActiveForm && progressMax > 0 && progress <= progressMax)
        Q_EMIT progressTextChange(QStringLiteral("Progress = ") +
                                  QString::number(double(progress) * 100.0 / progressMax) +
                                  QLatin1Char('%'));
}

void frmBrowser::commandStateChanged(BrowserControl &, bool canGoBack, bool canGoForward)
{
    mbNavigateBack = canGoBack;
    mbNavigateForward = canGoForward;
    if (bActiveForm)
        Q_EMIT commandStateChange(canGoBack, canGoForward);
}

bool frmBrowser::windowClosing(BrowserControl &)
{
    // The last window never closes: it shows why instead.
    if (m_ctx.giWindowsOpen < 2 && brwWebBrowser) {
        bNavigateInOtherWindow = false;
        (void)brwWebBrowser->navigate(ProgramPages::url(QStringLiteral("sklHelp.htm#CW")));
        return true;
    }
    zClose();
    return false;
}
