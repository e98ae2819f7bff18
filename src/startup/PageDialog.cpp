#include "startup/PageDialog.h"

#include "platform/PageWriter.h"
#include "reader/AppContext.h"

#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>

PageDialog::PageDialog(AppContext &ctx, const QString &page, QWidget *parent)
    : QDialog(parent), m_ctx(ctx), m_page(ProgramPages::url(page))
{
    setWindowModality(Qt::WindowModal);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (ctx.browsers)
        m_control = ctx.browsers->createControl();
    if (!m_control)
        return; // an empty dialog: start-up has told of the broken installation
    m_control->setListener(this);
    m_control->document().setListener(this);
    layout->addWidget(m_control->widget());
    (void)m_control->navigate(m_page);
}

void PageDialog::resizeWithinScreen(const QSize &wanted)
{
    const QScreen *shown = parentWidget() ? parentWidget()->screen() : screen();
    resize(shown ? wanted.boundedTo(shown->availableGeometry().size()) : wanted);
}

void PageDialog::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    // Without a window manager nobody hands the keyboard back: the frame's keys would be dead.
    if (QWidget *frame = parentWidget() ? parentWidget()->window() : nullptr)
        frame->activateWindow();
}

PageDialog::~PageDialog()
{
    if (m_control) {
        m_control->setListener(nullptr);
        m_control->document().setListener(nullptr);
    }
}

void PageDialog::markReady()
{
    // Writes land in order before a later query answers: ready once the filling is in the
    // page, so that nothing typed is overwritten and nothing half-filled is read back.
    QPointer<PageDialog> self(this);
    m_control->document().queryElement(ElementRef(), [self](const auto &) {
        if (!self || self->m_ready)
            return;
        self->m_ready = true;
        Q_EMIT self->ready();
    });
}

bool PageDialog::beforeNavigate(BrowserControl &, const BeforeNavigateInfo &info)
{
    // Links of the page (and anything a typed text might start) stay out of the dialog.
    return !info.isTopFrame || info.url.adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery) !=
                                   m_page.adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery);
}

void PageDialog::documentComplete(BrowserControl &, const QUrl &url, bool isTopFrame)
{
    if (!isTopFrame || m_ready ||
        url.adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery) !=
            m_page.adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery))
        return;
    pageComplete(m_control->document());
}
