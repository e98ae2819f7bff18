#include "startup/Options.h"

#include "platform/DesktopApps.h"
#include "startup/ShellIntegration.h"
#include <QCoreApplication>

#include "platform/Ui.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"
#include "reader/WheelGestures.h"
#include "store/Stores.h"
#include "store/cFile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QPointer>
#include <QTimer>

namespace {

constexpr int kEscape = 27;
constexpr int kF4 = 115;
const QString kObjectName = QStringLiteral("Options");
const QString kSecureLinksId = QStringLiteral("SecureLinksInPlace");
const QString kShowHelpId = QStringLiteral("ShowHelp");
// A label's id is this prefix and the id of the input it names.
const QString kLabelPrefix = QStringLiteral("for");

// The page's inputs and the fields they stand for: the text boxes in the order the page is
// filled, then the check boxes.
const std::pair<QString, QString OptionsPage::*> kTextInputs[] = {
    {QStringLiteral("T4"), &OptionsPage::T4},
    {QStringLiteral("T3"), &OptionsPage::T3},
    {QStringLiteral("T2"), &OptionsPage::T2},
    {QStringLiteral("T1"), &OptionsPage::T1},
};
const std::pair<QString, bool OptionsPage::*> kCheckBoxes[] = {
    {QStringLiteral("C1"), &OptionsPage::C1},           {QStringLiteral("C2"), &OptionsPage::C2},
    {QStringLiteral("C3"), &OptionsPage::C3},           {QStringLiteral("C4"), &OptionsPage::C4},
    {kSecureLinksId, &OptionsPage::secureLinksInPlace}, {kShowHelpId, &OptionsPage::showHelp},
};

bool isTextInput(const ElementSnapshot &e)
{
    return e.tagName == QLatin1String("INPUT") && e.type == QLatin1String("text");
}

} // namespace

Options::Options(AppContext &ctx, QWidget *parent)
    : PageDialog(ctx, QStringLiteral("frmOptions.htm"), parent)
{
    setObjectName(kObjectName);
    setWindowTitle(QStringLiteral("Skimline Options"));
    resizeWithinScreen(QSize(780, 720));
}

Options *Options::Show(AppContext &ctx, QWidget *parent)
{
    if (auto *open = parent ? parent->findChild<Options *>(kObjectName) : nullptr) {
        open->raise();
        open->activateWindow();
        return open;
    }
    auto *dialog = new Options(ctx, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

void Options::pageComplete(Document &doc)
{
    cFile *file = m_ctx.gFile;
    if (file)
        m_ctx.glOptionChecks = file->GetOption(QStringLiteral("OptionChecks"), 4).toInt();
    OptionSettings current = CurrentSettings(m_ctx, true, false);
    if (file) {
        const OptionSettings stored = ReadOptionSettings(*file);
        current.showHelp = stored.showHelp;
        current.secureLinksInPlace = stored.secureLinksInPlace;
    }
    const OptionsPage p = FillOptionsPage(current);
    for (const auto &[id, field] : kCheckBoxes) {
        const bool on = p.*field;
        doc.setChecked(id, on);
        // The history and wheel boxes are read through their value too: keep it in agreement.
        doc.setValue(id, on ? QStringLiteral("true") : QStringLiteral("false"));
    }
    for (const auto &[id, field] : kTextInputs)
        doc.setValue(id, p.*field);
    m_showHelp = p.showHelp;
    ShowHelp(m_showHelp);
    doc.focus(ElementRef());
    if (control())
        control()->setFocus();
    markReady();
}

void Options::ShowHelp(bool show)
{
    if (Document *d = doc())
        d->addCssRule(QStringLiteral(".help"),
                      show ? QStringLiteral("display: revert") : QStringLiteral("display: none"));
}

void Options::domEvent(const DomEvent &event)
{
    Document *d = doc();
    if (!d || m_closing)
        return;
    const ElementSnapshot &src = event.source;
    switch (event.type) {
    case DomEventType::Click:
        if (src.id == kShowHelpId) {
            m_showHelp = src.checked;
            ShowHelp(m_showHelp);
        }
        if (src.id == QLatin1String("DefaultBrowser")) {
            const ShellIntegration::Outcome done = ShellIntegration::RegisterDefaultBrowser(
                DesktopApps(), QCoreApplication::applicationFilePath());
            d->setInnerText(QStringLiteral("DefaultBrowserResult"), done.message);
        }
        return;
    case DomEventType::ContextMenu:
        if (src.tagName == QLatin1String("LABEL") && src.id.startsWith(kLabelPrefix)) {
            const QString help = QStringLiteral("h") + src.id.mid(kLabelPrefix.size());
            const bool show = !m_helpShown.contains(help);
            if (show)
                m_helpShown.insert(help);
            else
                m_helpShown.remove(help);
            d->setStyle(help, QStringLiteral("display"),
                        show ? QStringLiteral("block") : QStringLiteral("none"));
        }
        return;
    case DomEventType::DblClick:
        if (isTextInput(src))
            d->setValue(src.ref(), QString());
        return;
    case DomEventType::KeyUp:
        if (event.keyCode == kEscape)
            requestClose();
        else if (event.keyCode == kF4 && src.tagName == QLatin1String("INPUT"))
            d->setValue(src.ref(), QString());
        return;
    default:
        return;
    }
}

void Options::reject()
{
    requestClose();
}

void Options::closeEvent(QCloseEvent *event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    event->ignore();
    requestClose();
}

void Options::requestClose()
{
    if (m_closing)
        return;
    m_closing = true;
    Document *d = doc();
    // A page never filled holds no settings: saving it would wipe them.
    if (!d || !isReady()) {
        finish();
        return;
    }
    QPointer<Options> self(this);
    d->querySelectorAll(QStringLiteral("input"), [self](const QList<ElementSnapshot> &inputs) {
        if (!self)
            return;
        if (!inputs.isEmpty()) {
            OptionsPage page;
            for (const ElementSnapshot &e : inputs) {
                for (const auto &[id, field] : kTextInputs) {
                    if (e.id == id)
                        page.*field = e.value;
                }
                for (const auto &[id, field] : kCheckBoxes) {
                    if (e.id == id)
                        page.*field = e.checked;
                }
            }
            // The help box is the dialog's own state: it follows every click on it.
            page.showHelp = self->m_showHelp;
            self->Form_QueryUnload(page);
        }
        self->finish();
    });
}

void Options::Form_QueryUnload(const OptionsPage &page)
{
    AppContext &ctx = m_ctx;
    const OptionsSave save =
        SaveOptionsPage(page, CurrentSettings(ctx, m_showHelp, page.secureLinksInPlace));
    if (ctx.gFile) {
        for (const auto &[key, value] : save.writes)
            (void)ctx.gFile->SetOption(key, value);
    }
    const OptionSettings &s = save.settings;
    ctx.gsUserAgent = s.gsUserAgent; // the full user agent is rebuilt at the next start
    ctx.glOptionChecks = s.glOptionChecks;
    setHistory(page.C3);
    ctx.gbOptBit8 = page.C4;
    ctx.giMaxWindows = s.giMaxWindows;
    ctx.gsngTempZoom = s.gsngTempZoom;
    if (!qFuzzyCompare(1.0f + s.gsngPageZoom, 1.0f + ctx.gsngPageZoom)) {
        ctx.gsngPageZoom = s.gsngPageZoom;
        applyPageZoom();
    }
    if (!save.problems.isEmpty() && ctx.ui) {
        Ui *ui = ctx.ui;
        const QString text = save.problems.join(QStringLiteral("\n\n"));
        // After the dialog has gone, so that the message is not left behind a closing window.
        QObject *context = parentWidget() ? static_cast<QObject *>(parentWidget()) : qApp;
        QTimer::singleShot(0, context, [ui, text] {
            ui->messageBox(text, QStringLiteral("Skimline Options"), MessageButtons::Ok,
                           MessageIcon::Warning);
        });
    }
    Q_EMIT saved(save.problems);
}

void Options::setHistory(bool on)
{
    AppContext &ctx = m_ctx;
    ctx.gbOptBit4 = on;
    if (!ctx.stores)
        return;
    Stores &st = *ctx.stores;
    if (on && !st.rsHistory.State()) {
        OpenHistoryStore(st);
    } else if (!on && st.rsHistory.State()) {
        // All history goes, at once: to the desktop trash where there is one.
        st.rsHistory.Close();
        st.gbHistoryFromFile = false;
        if (ctx.gFile && QFile::exists(st.gsHistoryFile) &&
            !ctx.gFile->DeleteFile(st.gsHistoryFile))
            ctx.errorLog.LogError(QStringLiteral("Could not delete ") + st.gsHistoryFile,
                                  QStringLiteral(" Options"));
    }
}

void Options::applyPageZoom()
{
    AppContext &ctx = m_ctx;
    if (!ctx.reader)
        return;
    const float zoom = ctx.gsngPageZoom;
    for (int slot = 0; slot < ctx.gsWindowState.size(); ++slot) {
        if (ctx.gsWindowState.at(slot).isEmpty())
            continue;
        DocumentWindow *w = ctx.reader->host.window(slot);
        if (!w || !w->brwWebBrowser)
            continue;
        BrowserControl &c = *w->brwWebBrowser;
        // A frameset has no body to zoom: its frames zoom with the view.
        if (c.document().snapshot().isFrameset) {
            c.setZoomFactor(zoom > 0 ? double(zoom) : 1.0);
        } else {
            c.document().setBodyZoom(zoom > 0 ? zoomText(zoom) : QString());
        }
    }
}

void Options::finish()
{
    m_closed = true;
    done(QDialog::Accepted);
    if (testAttribute(Qt::WA_DeleteOnClose))
        deleteLater();
}
