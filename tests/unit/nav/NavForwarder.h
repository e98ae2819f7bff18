#pragma once

#include "reader/DocumentWindow.h"
#include "reader/Navigator.h"

// A window's control events, split as the document window splits them: the interception, keys,
// wheel and menus to the navigator, everything else to the window itself.
class NavForwarder : public BrowserControlListener
{
public:
    NavForwarder(DocumentWindow &w, Navigator &nav) : m_w(w), m_nav(nav), m_inner(w) {}

    bool beforeNavigate(BrowserControl &, const BeforeNavigateInfo &info) override
    {
        return m_nav.brwWebBrowser_BeforeNavigate2(m_w, info);
    }
    BrowserControl *newWindowRequested(BrowserControl &, const NewWindowInfo &info) override
    {
        return m_nav.brwWebBrowser_NewWindow2(m_w, info);
    }
    bool keyPressUnhandled(BrowserControl &, const KeyInfo &k) override
    {
        return m_nav.Form_KeyDown(m_w, k);
    }
    bool keyReleaseUnhandled(BrowserControl &, const KeyInfo &k) override
    {
        ++keyReleases;
        return m_nav.Form_KeyUp(m_w, k);
    }
    bool wheelEvent(BrowserControl &, const WheelInfo &wheel) override
    {
        return m_nav.OnMouseWheel(m_w, wheel);
    }
    bool mouseButtonPressed(BrowserControl &, const MouseInfo &m) override
    {
        return m_nav.mouseButtonPressed(m_w, m);
    }
    bool mouseButtonReleased(BrowserControl &, const MouseInfo &m) override
    {
        return m_nav.mouseButtonReleased(m_w, m);
    }
    bool contextMenuRequested(BrowserControl &, const ContextMenuInfo &info) override
    {
        return m_nav.OnContextMenu(m_w, info);
    }
    QString downloadRequested(BrowserControl &, const QUrl &url, const QString &name) override
    {
        return m_nav.downloadRequested(m_w, url, name);
    }

    void navigateComplete(BrowserControl &c, const QUrl &u, bool top) override
    {
        m_inner.navigateComplete(c, u, top);
    }
    void documentComplete(BrowserControl &c, const QUrl &u, bool top) override
    {
        m_inner.documentComplete(c, u, top);
    }
    void downloadBegin(BrowserControl &c) override { m_inner.downloadBegin(c); }
    void downloadComplete(BrowserControl &c) override { m_inner.downloadComplete(c); }
    void readyStateChanged(BrowserControl &c, ReadyState s) override
    {
        m_inner.readyStateChanged(c, s);
    }
    bool navigateError(BrowserControl &c, const QUrl &u, qint32 code, const QString &t,
                       bool top) override
    {
        return m_inner.navigateError(c, u, code, t, top);
    }
    void titleChanged(BrowserControl &c, const QString &t) override { m_inner.titleChanged(c, t); }
    void statusTextChanged(BrowserControl &c, const QString &t) override
    {
        m_inner.statusTextChanged(c, t);
    }
    void progressChanged(BrowserControl &c, int p, int m) override
    {
        m_inner.progressChanged(c, p, m);
    }
    void commandStateChanged(BrowserControl &c, bool b, bool f) override
    {
        m_inner.commandStateChanged(c, b, f);
    }
    bool windowClosing(BrowserControl &c) override { return m_inner.windowClosing(c); }
    void scriptError(BrowserControl &c, const QString &t, int l, const QString &s) override
    {
        m_inner.scriptError(c, t, l, s);
    }

    int keyReleases = 0; // keys that reached the program, for tests that must know

private:
    DocumentWindow &m_w;
    Navigator &m_nav;
    BrowserControlListener &m_inner;
};
