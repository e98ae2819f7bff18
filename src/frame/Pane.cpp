#include "frame/Pane.h"

#include "platform/PageWriter.h"

#include <QPointer>
#include <QWidget>

class Pane::Listener : public BrowserControlListener, public DocumentListener
{
public:
    explicit Listener(Pane &pane) : m_pane(pane) {}

    bool beforeNavigate(BrowserControl &, const BeforeNavigateInfo &info) override
    {
        m_pane.navigationAsked(info);
        return true;
    }
    BrowserControl *newWindowRequested(BrowserControl &, const NewWindowInfo &) override
    {
        return nullptr;
    }
    void documentComplete(BrowserControl &, const QUrl &url, bool isTopFrame) override
    {
        if (isTopFrame)
            m_pane.pageComplete(url);
    }
    bool contextMenuRequested(BrowserControl &, const ContextMenuInfo &info) override
    {
        // Cut, copy and paste in the text fields; nothing else of the engine's menu.
        return info.isEditable;
    }
    bool wheelEvent(BrowserControl &, const WheelInfo &info) override
    {
        return info.modifiers & Qt::ControlModifier;
    }
    void domEvent(const DomEvent &event) override { Q_EMIT m_pane.domEvent(event); }
    void snapshotChanged(const DocumentSnapshot &snapshot) override
    {
        Q_EMIT m_pane.snapshotChanged(snapshot);
    }

private:
    Pane &m_pane;
};

Pane::Pane(std::unique_ptr<BrowserControl> control, const QString &name, QObject *parent)
    : QObject(parent), m_listener(std::make_unique<Listener>(*this)), m_control(std::move(control)),
      m_name(name)
{
    setObjectName(name);
    m_control->setListener(m_listener.get());
    m_control->document().setListener(m_listener.get());
    m_control->widget()->setObjectName(name);
}

Pane::~Pane()
{
    m_control->setListener(nullptr);
    m_control->document().setListener(nullptr);
}

void Pane::write(const QString &html)
{
    m_ready = false;
    m_page = m_control->pageWriter().writePage(html, m_name + QStringLiteral(".htm"));
}

void Pane::navigationAsked(const BeforeNavigateInfo &info)
{
    // The pane shows its own page only. What its page asked for goes to the hook; the
    // engine reports command links from program pages alone, and the source says so too.
    if (info.source != NavigationSource::ProgramPage || !info.isTopFrame || !onBeforeNavigate)
        return;
    QPointer<Pane> self(this);
    // Out of the engine's callback: the hook may load documents or open menus.
    QMetaObject::invokeMethod(
        this,
        [self, info] {
            if (self && self->onBeforeNavigate)
                self->onBeforeNavigate(info);
        },
        Qt::QueuedConnection);
}

void Pane::pageComplete(const QUrl &url)
{
    if (m_ready || url.adjusted(QUrl::RemoveFragment) != m_page)
        return;
    // Writes made meanwhile land before a later query answers.
    QPointer<Pane> self(this);
    m_control->document().queryElement(ElementRef(), [self](const auto &) {
        if (!self || self->m_ready)
            return;
        self->m_ready = true;
        Q_EMIT self->ready();
    });
}
