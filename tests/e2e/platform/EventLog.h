#pragma once

#include "platform/BrowserControl.h"
#include "platform/Document.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// Records a control's and its document's events as short lines ("begin", "complete <url>")
// and answers with the verdicts set on it.
class EventLog : public BrowserControlListener, public DocumentListener
{
public:
    explicit EventLog(BrowserControl &control) : m_control(control)
    {
        control.setListener(this);
        control.document().setListener(this);
    }
    ~EventLog() override
    {
        m_control.setListener(nullptr);
        m_control.document().setListener(nullptr);
    }

    std::function<bool(const BeforeNavigateInfo &)> cancel;
    std::function<BrowserControl *(const NewWindowInfo &)> newWindow;
    std::function<bool(const KeyInfo &)> consumeKey;
    bool consumeWheel = false;
    bool showEngineMenu = false;
    bool keepOnClose = true;

    QStringList lines;
    QList<BeforeNavigateInfo> navigations;
    QList<NewWindowInfo> newWindows;
    QList<std::pair<QUrl, qint32>> errors;
    QList<KeyInfo> keyPresses;
    QList<KeyInfo> keyReleases;
    QList<WheelInfo> wheels;
    QList<MouseInfo> mousePresses;
    QList<ContextMenuInfo> menus;
    QList<DomEvent> domEvents;
    QStringList scriptErrors;
    QList<DocumentSnapshot> snapshots;
    QList<FrameDocumentInfo> frames;
    int closeRequests = 0;

    int count(const QString &line) const { return int(lines.count(line)); }
    bool has(const QString &line) const { return lines.contains(line); }
    int indexOf(const QString &line) const { return int(lines.indexOf(line)); }
    QList<DomEvent> domEventsOf(DomEventType type) const
    {
        QList<DomEvent> out;
        for (const DomEvent &e : domEvents) {
            if (e.type == type)
                out.append(e);
        }
        return out;
    }
    void clear()
    {
        lines.clear();
        navigations.clear();
        newWindows.clear();
        errors.clear();
        keyPresses.clear();
        keyReleases.clear();
        wheels.clear();
        mousePresses.clear();
        menus.clear();
        domEvents.clear();
        scriptErrors.clear();
        snapshots.clear();
        frames.clear();
        closeRequests = 0;
    }

    bool beforeNavigate(BrowserControl &, const BeforeNavigateInfo &info) override
    {
        lines << QStringLiteral("before ") + info.url.toString();
        navigations << info;
        return cancel && cancel(info);
    }
    BrowserControl *newWindowRequested(BrowserControl &, const NewWindowInfo &info) override
    {
        lines << QStringLiteral("newWindow ") + info.url.toString();
        newWindows << info;
        return newWindow ? newWindow(info) : nullptr;
    }
    void navigateComplete(BrowserControl &, const QUrl &url, bool) override
    {
        lines << QStringLiteral("navigated ") + url.toString();
    }
    void documentComplete(BrowserControl &, const QUrl &url, bool) override
    {
        lines << QStringLiteral("complete ") + url.toString();
    }
    void frameDocumentComplete(const FrameDocumentInfo &frame) override
    {
        lines << QStringLiteral("frame ") + frame.url.toString();
        frames << frame;
    }
    void downloadBegin(BrowserControl &) override { lines << QStringLiteral("begin"); }
    void downloadComplete(BrowserControl &) override { lines << QStringLiteral("end"); }
    void readyStateChanged(BrowserControl &, ReadyState s) override
    {
        lines << (s == ReadyState::Complete      ? QStringLiteral("state complete")
                  : s == ReadyState::Interactive ? QStringLiteral("state interactive")
                                                 : QStringLiteral("state other"));
    }
    bool navigateError(BrowserControl &, const QUrl &url, qint32 code, const QString &,
                       bool) override
    {
        lines << QStringLiteral("error %1").arg(code);
        errors.append({url, code});
        return false;
    }
    void titleChanged(BrowserControl &, const QString &title) override
    {
        lines << QStringLiteral("title ") + title;
    }
    bool windowClosing(BrowserControl &) override
    {
        ++closeRequests;
        return keepOnClose;
    }
    void scriptError(BrowserControl &, const QString &text, int, const QString &) override
    {
        scriptErrors << text;
    }
    bool keyPressed(BrowserControl &, const KeyInfo &key) override
    {
        keyPresses << key;
        return consumeKey && consumeKey(key);
    }
    bool keyReleased(BrowserControl &, const KeyInfo &key) override
    {
        keyReleases << key;
        return consumeKey && consumeKey(key);
    }
    bool wheelEvent(BrowserControl &, const WheelInfo &wheel) override
    {
        wheels << wheel;
        return consumeWheel;
    }
    bool mouseButtonPressed(BrowserControl &, const MouseInfo &m) override
    {
        mousePresses << m;
        return false;
    }
    bool contextMenuRequested(BrowserControl &, const ContextMenuInfo &info) override
    {
        menus << info;
        return showEngineMenu;
    }
    void domEvent(const DomEvent &e) override { domEvents << e; }
    void snapshotChanged(const DocumentSnapshot &s) override { snapshots << s; }

private:
    BrowserControl &m_control;
};
