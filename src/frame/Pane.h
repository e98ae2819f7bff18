#pragma once

#include "platform/BrowserControl.h"
#include "platform/Document.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// One of the main frame's two HTML panes: a browser control that shows only the page the
// program writes into it. Every navigation in it is cancelled (a hook sees the ones its page
// started first); no new window, no engine menu outside text fields, no zoom by the wheel.
// The page lives under the program's private scheme, which web content can neither load nor
// navigate to, and command links are reported only from it.
class Pane : public QObject
{
    Q_OBJECT
public:
    Pane(std::unique_ptr<BrowserControl> control, const QString &name, QObject *parent = nullptr);
    ~Pane() override;

    BrowserControl &control() const { return *m_control; }
    Document &document() const { return m_control->document(); }
    QWidget *widget() const { return m_control->widget(); }
    QString name() const { return m_name; }

    // Shows html as the pane's page; ready() follows once it is complete and every write
    // made before has been applied.
    void write(const QString &html);
    bool isReady() const { return m_ready; }

    // A navigation that the pane's own page started (a link, a command link "skl:..."),
    // already cancelled. Unset: the pane ignores it.
    std::function<void(const BeforeNavigateInfo &)> onBeforeNavigate;

Q_SIGNALS:
    void ready();
    // Every DOM event of the page, after the event rules had their say.
    void domEvent(const DomEvent &event);
    void snapshotChanged(const DocumentSnapshot &snapshot);

private:
    class Listener;
    void navigationAsked(const BeforeNavigateInfo &info);
    void pageComplete(const QUrl &url);

    std::unique_ptr<Listener> m_listener;
    std::unique_ptr<BrowserControl> m_control;
    QString m_name;
    QUrl m_page;
    bool m_ready = false;
};
