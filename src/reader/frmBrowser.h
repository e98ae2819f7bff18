#pragma once

#include "reader/DocumentWindow.h"

#include <QString>
#include <QWidget>

#include <memory>

struct AppContext;

// A document window: one browser control filling a child window of the main frame. Its life
// in the reading workflow (states, session records, the queue) is DocumentWindow's; this adds
// the widget and tells the frame what changed.
class frmBrowser : public QWidget, public DocumentWindow
{
    Q_OBJECT
public:
    // The context's reader must exist.
    frmBrowser(AppContext &ctx, std::unique_ptr<BrowserControl> control, QWidget *parent = nullptr);
    ~frmBrowser() override;

    // Documents completed in this window since it was made.
    int miCompleted = 0;

Q_SIGNALS:
    void titleChange(const QString &title);
    void documentCompleted(const QString &url);

protected:
    void closeEvent(QCloseEvent *event) override;
    void captionChanged(const QString &caption) override;
    void onDocumentCompleted(const QUrl &url) override;

private:
    AppContext &m_ctx;
    std::unique_ptr<BrowserControl> m_control;
};
