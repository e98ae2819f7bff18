#pragma once

#include "platform/BrowserControl.h"
#include "platform/Document.h"

#include <QDialog>

#include <memory>

struct AppContext;

// A modal dialog over the main frame whose content is one of the program's pages, read and
// written by element id. The page cannot navigate elsewhere.
class PageDialog : public QDialog, protected BrowserControlListener, protected DocumentListener
{
    Q_OBJECT
public:
    PageDialog(AppContext &ctx, const QString &page, QWidget *parent);
    ~PageDialog() override;

    BrowserControl *control() const { return m_control.get(); }
    // The page has been filled and takes input.
    bool isReady() const { return m_ready; }

Q_SIGNALS:
    void ready();

protected:
    // The page has completed: fill it.
    virtual void pageComplete(Document &doc) = 0;
    void domEvent(const DomEvent &event) override = 0;
    void markReady();
    // A size for the dialog that stays on the frame's screen at any scale.
    void resizeWithinScreen(const QSize &wanted);
    void hideEvent(QHideEvent *event) override;
    Document *doc() const { return m_control ? &m_control->document() : nullptr; }

    AppContext &m_ctx;

private:
    bool beforeNavigate(BrowserControl &, const BeforeNavigateInfo &info) override;
    void documentComplete(BrowserControl &, const QUrl &url, bool isTopFrame) override;

    QUrl m_page;
    std::unique_ptr<BrowserControl> m_control;
    bool m_ready = false;
};
