#pragma once

#include "platform/BrowserControl.h"

#include <QString>
#include <QWidget>

#include <memory>

struct AppContext;

// A document window: one browser control filling a child window of the main frame. The frame
// listens to its signals for the status bar, toolbar and captions.
class frmBrowser : public QWidget, private BrowserControlListener
{
    Q_OBJECT
public:
    frmBrowser(AppContext &ctx, std::unique_ptr<BrowserControl> control, QWidget *parent = nullptr);
    ~frmBrowser() override;

    // Sets the window up for pool slot iTag.
    void InitializeForm(int iTag, bool bNext);
    void zClose();
    void zSetFocus();

    BrowserControl *brwWebBrowser = nullptr;

    int miTag = 0;
    QString msKey;
    QString msURL;
    QString strDocumentTitle;
    QString msReadyState;
    bool bActiveForm = false;
    bool bKeep = false;
    bool mbNext = false;
    bool mbRead = false;
    bool bNavigateInOtherWindow = false;
    bool bOpenInSameWindow = false;
    bool bAllowOpenInNewWindow = false;
    bool mbNavigateBack = false;
    bool mbNavigateForward = false;
    bool mbDocWritten = false;
    bool mbClosing = false;
    double mdFavBookmark = 0;
    double mdCurrentSessionBookmark = 0;
    // Documents completed in this window since it was made.
    int miCompleted = 0;

Q_SIGNALS:
    void statusTextChange(const QString &text);
    void progressTextChange(const QString &text);
    void titleChange(const QString &title);
    void commandStateChange(bool canGoBack, bool canGoForward);
    void documentCompleted(const QString &url);
    void loadingChanged(bool loading);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void navigateComplete(BrowserControl &, const QUrl &url, bool isTopFrame) override;
    void documentComplete(BrowserControl &, const QUrl &url, bool isTopFrame) override;
    void downloadBegin(BrowserControl &) override;
    void downloadComplete(BrowserControl &) override;
    void titleChanged(BrowserControl &, const QString &title) override;
    void statusTextChanged(BrowserControl &, const QString &text) override;
    void progressChanged(BrowserControl &, int progress, int progressMax) override;
    void commandStateChanged(BrowserControl &, bool canGoBack, bool canGoForward) override;
    bool windowClosing(BrowserControl &) override;

    AppContext &m_ctx;
    std::unique_ptr<BrowserControl> m_control;
};
