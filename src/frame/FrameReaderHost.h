#pragma once

#include "reader/Reader.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class MDIForm1;
class QAction;
class frmBrowser;
struct AppContext;

// The main frame as the reading workflow sees it: document windows in the multiple-document
// area, the status bar, the toolbar and menus, and the Window menu's list of windows.
class FrameReaderHost : public QObject, public ReaderHost
{
    Q_OBJECT
public:
    FrameReaderHost(AppContext &ctx, MDIForm1 &frame);
    ~FrameReaderHost() override;

    // Every control made for a window gets this user agent.
    void setUserAgent(const QString &agent) { m_userAgent = agent; }
    // Called for every document that completes in any window.
    std::function<void(const QString &url)> onDocumentCompleted;

    // Puts a window made elsewhere (window 0 at start) into slot `slot`.
    frmBrowser *adoptWindow(int slot, std::unique_ptr<BrowserControl> control);

    DocumentWindow *loadWindow(int slot) override;
    DocumentWindow *window(int slot) const override;
    void destroyWindow(int slot) override;
    void showWindow(DocumentWindow &w) override;
    void setStatusText(int panel, const QString &text) override;
    void setAddressText(const QString &text) override;
    void setWindowCaption(DocumentWindow &w, const QString &text) override;
    void windowListChanged() override;
    void showWindowState(int slot, const WindowStyle &style) override;
    void setToolButton(const QString &key, bool enabled, bool pressed) override;
    void setMenuItem(const QString &name, bool enabled, bool checked) override;
    bool isInForeground() const override;
    void showBrowseMode(const QString &letter, const QString &tooltip) override;
    HighlightWords highlightWords() const override;
    void zTopBar() override;
    void queueListAdd(double bookmark, const QString &title) override;
    void queueListRemove(double bookmark) override;
    void queueListClear() override;
    void activeDocumentCompleted(DocumentWindow &w) override;
    void openFeedViewer(const QString &url, double bookmark) override;
    bool hasFeedViewer() const override;
    void loadScheduledPages(int index) override;

    // The Window menu's entry of a slot (nullptr when none).
    QAction *windowListItem(int slot) const { return m_listItems.value(slot); }

private:
    frmBrowser *form(int slot) const;
    void frameActivated(frmBrowser *form);
    void focusChanged(QWidget *now);
    QString listCaption(int slot) const;

    AppContext &m_ctx;
    MDIForm1 &m_frame;
    QString m_userAgent;
    QHash<int, QAction *> m_listItems;
    bool m_adding = false;
};
