#include "startup/OpenURL.h"

#include "platform/PageWriter.h"
#include "reader/AppContext.h"
#include "reader/Navigator.h"
#include "reader/Reader.h"

#include <QCloseEvent>
#include <QPointer>
#include <QUrl>

namespace {

constexpr int kTab = 9;
constexpr int kEnter = 13;
constexpr int kEscape = 27;
constexpr int kF4 = 115;
const QString kObjectName = QStringLiteral("OpenURL");
const QString kText = QStringLiteral("urltext");

} // namespace

QString CompleteTypedUrl(const QString &text)
{
    const QString t = text.trimmed();
    if (!t.isEmpty() && !t.contains(QLatin1Char('.')) && !t.contains(QLatin1Char(':')))
        return QStringLiteral("http://www.") + t + QStringLiteral(".com/");
    return t;
}

std::optional<QString> RefusedTypedUrl(const QString &address)
{
    const QUrl url(address);
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("javascript") || scheme == QLatin1String("vbscript"))
        return QStringLiteral("Scripts typed here are not run. Type the address of a page.");
    if (scheme == QLatin1String(ProgramPages::kCommandScheme) ||
        ProgramPages::hasProgramScheme(url))
        return QStringLiteral("\"%1\" is one of Skimline's own commands or pages, which open "
                              "only from Skimline's menus and pages. Type the address of a web "
                              "page.")
            .arg(address);
    return std::nullopt;
}

OpenURL::OpenURL(AppContext &ctx, Mode mode, QWidget *parent, Answer groupNameAnswer)
    : PageDialog(ctx, QStringLiteral("OpenURL.htm"), parent), m_mode(mode),
      m_answer(std::move(groupNameAnswer))
{
    setObjectName(kObjectName);
    ctx.giOpenURLMode = mode;
    ctx.gsOpenURLResult.clear();
    // Single keys type into the dialog; they move no window.
    setProgramFieldFocused(ctx, true);
    setWindowTitle(mode == OpenAddress ? QStringLiteral("Open URL")
                                       : QStringLiteral("Enter Group Name"));
    resizeWithinScreen(QSize(520, 170));
    if (Document *d = doc()) {
        EventRule tab;
        tab.type = DomEventType::KeyDown;
        tab.selector = QStringLiteral("*");
        tab.keyCode = kTab;
        d->setEventRules({tab});
    }
}

OpenURL::~OpenURL()
{
    Form_Unload();
}

OpenURL *OpenURL::Show(AppContext &ctx, Mode mode, QWidget *parent, Answer groupNameAnswer)
{
    if (auto *open = parent ? parent->findChild<OpenURL *>(kObjectName) : nullptr) {
        if (open->m_mode == mode) {
            open->raise();
            open->activateWindow();
            return open;
        }
        open->close();
    }
    auto *dialog = new OpenURL(ctx, mode, parent, std::move(groupNameAnswer));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

void OpenURL::pageComplete(Document &doc)
{
    doc.setStyle(m_mode == OpenAddress ? QStringLiteral("openurl") : QStringLiteral("groupname"),
                 QStringLiteral("display"), QStringLiteral("block"));
    doc.focus(kText);
    if (control())
        control()->setFocus();
    markReady();
}

void OpenURL::domEvent(const DomEvent &event)
{
    Document *d = doc();
    if (!d || m_unloaded)
        return;
    const QString &id = event.source.id;
    switch (event.type) {
    case DomEventType::KeyDown:
        // The focus stays on the text and the OK button.
        if (event.keyCode == kTab)
            d->focus(id == kText ? QStringLiteral("ok") : kText);
        return;
    case DomEventType::KeyUp:
        if (event.keyCode == kEnter && id == kText)
            ok(event.source.value); // on the button, Enter clicks it
        else if (event.keyCode == kEscape)
            close();
        else if (event.keyCode == kF4)
            d->setValue(kText, QString());
        return;
    case DomEventType::Click:
        if (id == QLatin1String("ok")) {
            QPointer<OpenURL> self(this);
            d->queryElement(kText, [self](const std::optional<ElementSnapshot> &text) {
                if (self && text)
                    self->ok(text->value);
            });
        } else if (id == QLatin1String("cancel")) {
            m_ctx.gsOpenURLResult.clear();
            close();
        }
        return;
    default:
        return;
    }
}

void OpenURL::ok(const QString &text)
{
    if (m_mode == OpenAddress) {
        OpenTypedUrl(text);
        return;
    }
    m_ctx.gsOpenURLResult = text.trimmed();
    close();
}

void OpenURL::OpenTypedUrl(const QString &text)
{
    if (text.trimmed().isEmpty()) {
        close();
        return;
    }
    const QString address = CompleteTypedUrl(text);
    Document *d = doc();
    if (const std::optional<QString> refused = RefusedTypedUrl(address)) {
        if (d)
            d->setInnerText(QStringLiteral("message"), *refused);
        return;
    }
    if (m_ctx.LoadDocument)
        m_ctx.LoadDocument(address, LoadWhere::Background);
    if (d) {
        d->setInnerText(QStringLiteral("message"), QStringLiteral("Opening ") + address);
        d->setValue(kText, QString());
        d->focus(kText);
    }
}

void OpenURL::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void OpenURL::Form_Unload()
{
    if (std::exchange(m_unloaded, true))
        return;
    setProgramFieldFocused(m_ctx, false);
    if (m_mode == GroupName && m_answer)
        std::exchange(m_answer, {})(m_ctx.gsOpenURLResult);
}
