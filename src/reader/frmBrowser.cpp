#include "reader/frmBrowser.h"

#include "reader/AppContext.h"
#include "reader/Reader.h"

#include <QCloseEvent>
#include <QTimer>
#include <QVBoxLayout>

frmBrowser::frmBrowser(AppContext &ctx, std::unique_ptr<BrowserControl> control, QWidget *parent)
    : QWidget(parent), DocumentWindow(*ctx.reader, control.get()), m_ctx(ctx),
      m_control(std::move(control))
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (brwWebBrowser) {
        if (QWidget *view = brwWebBrowser->widget())
            layout->addWidget(view);
    }
}

frmBrowser::~frmBrowser()
{
    if (brwWebBrowser) {
        brwWebBrowser->setListener(nullptr);
        // The control owns its widget; take it out of the layout before both go.
        if (QWidget *view = brwWebBrowser->widget())
            view->setParent(nullptr);
    }
    brwWebBrowser = nullptr;
    m_control.reset();
}

void frmBrowser::closeEvent(QCloseEvent *event)
{
    if (isClosing() || m_ctx.gbExiting) {
        if (!isClosing() && !Form_QueryUnload())
            Form_Unload();
        event->accept();
        return;
    }
    // The close box: the pool unloads the window once this event is over, unless it is the
    // last one.
    event->ignore();
    const int slot = miTag;
    Reader *reader = m_ctx.reader;
    QTimer::singleShot(0, reader ? &reader->log : nullptr, [reader, slot] {
        if (reader)
            reader->pool.unloadWindow(slot);
    });
}

void frmBrowser::captionChanged(const QString &caption)
{
    setWindowTitle(caption);
    Q_EMIT titleChange(caption);
}

void frmBrowser::onDocumentCompleted(const QUrl &url)
{
    ++miCompleted;
    Q_EMIT documentCompleted(url.toString());
}
