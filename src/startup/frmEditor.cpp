#include "startup/frmEditor.h"

#include "frame/MDIForm1.h"
#include "reader/AppContext.h"
#include "reader/Reader.h"
#include "store/cFile.h"

#include <QCloseEvent>
#include <QPointer>

namespace {

const QString kObjectName = QStringLiteral("frmEditor");
const QString kText = QStringLiteral("s1");

} // namespace

frmEditor::frmEditor(AppContext &ctx, MDIForm1 *frame)
    : PageDialog(ctx, QStringLiteral("frmEditor.htm"), frame), m_frame(frame)
{
    setObjectName(kObjectName);
    // Single keys type into the text area.
    setProgramFieldFocused(ctx, true);
    setWindowTitle(QStringLiteral("Edit Form Data"));
    resizeWithinScreen(QSize(640, 420));
}

frmEditor::~frmEditor()
{
    Form_Unload();
}

frmEditor *frmEditor::Show(AppContext &ctx, MDIForm1 *frame)
{
    if (auto *open = frame ? frame->findChild<frmEditor *>(kObjectName) : nullptr) {
        open->raise();
        open->activateWindow();
        return open;
    }
    auto *dialog = new frmEditor(ctx, frame);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

QString frmEditor::FileText(const QString &areaText)
{
    QString text = areaText;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    return text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
}

void frmEditor::pageComplete(Document &doc)
{
    const QString text =
        m_ctx.gFile ? m_ctx.gFile->ReadFileToVariable(m_ctx.folders.formDataFile) : QString();
    doc.setValue(kText, text);
    doc.focus(kText);
    if (control())
        control()->setFocus();
    markReady();
}

void frmEditor::domEvent(const DomEvent &event)
{
    Document *d = doc();
    if (!d || m_unloaded || event.type != DomEventType::Click)
        return;
    const QString &id = event.source.id;
    if (id == QLatin1String("ok")) {
        QPointer<frmEditor> self(this);
        d->queryElement(kText, [self](const std::optional<ElementSnapshot> &area) {
            if (self && area)
                self->ok(area->value);
        });
    } else if (id == QLatin1String("cancel")) {
        close();
    }
}

void frmEditor::ok(const QString &text)
{
    const QString fileText = FileText(text);
    if (m_frame)
        m_frame->FillFormDataMenu(fileText);
    if (!m_ctx.gFile ||
        !m_ctx.gFile->WriteVariableToFile(fileText, m_ctx.folders.formDataFile, true)) {
        // The dialog stays with the text as typed: nothing is lost.
        if (Document *d = doc())
            d->setInnerText(QStringLiteral("message"),
                            QStringLiteral("The form data could not be saved to ") +
                                m_ctx.folders.formDataFile);
        return;
    }
    close();
}

void frmEditor::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void frmEditor::Form_Unload()
{
    if (std::exchange(m_unloaded, true))
        return;
    setProgramFieldFocused(m_ctx, false);
}
