#include "frame/dlgGen.h"

#include "frame/Pane.h"
#include "platform/Ui.h"
#include "reader/AppContext.h"

#include <QKeySequence>
#include <QPointer>
#include <QShortcut>
#include <QVBoxLayout>

namespace {
const QString kPrintError = QStringLiteral("There was an error with printing. Make sure that it "
                                           "is turned on and connected to the printer.");
const QString kCell = QStringLiteral("#99ffcc");
const QString kCellOver = QStringLiteral("#ccff99");

bool isStripCell(const QString &id)
{
    return id == QLatin1String("ps") || id == QLatin1String("pp") || id == QLatin1String("p");
}
} // namespace

dlgGen *dlgGen::create(AppContext &ctx, QWidget *parent, const QString &buffer)
{
    if (!ctx.browsers)
        return nullptr;
    auto *dialog = new dlgGen(ctx, parent, buffer);
    if (!dialog->m_editor || !dialog->m_strip) {
        delete dialog;
        return nullptr;
    }
    return dialog;
}

dlgGen::dlgGen(AppContext &ctx, QWidget *parent, const QString &buffer)
    : QDialog(parent), m_ctx(ctx), m_buffer(buffer)
{
    setObjectName(QStringLiteral("dlgGen"));
    setWindowTitle(QStringLiteral("Edit or Print Note"));
    std::unique_ptr<BrowserControl> editor = ctx.browsers->createControl();
    std::unique_ptr<BrowserControl> strip = ctx.browsers->createControl();
    if (!editor || !strip)
        return;
    m_editor = std::make_unique<Pane>(std::move(editor), QStringLiteral("dlgWBm"));
    m_strip = std::make_unique<Pane>(std::move(strip), QStringLiteral("dlgWBs"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_strip->widget()->setFixedHeight(36);
    layout->addWidget(m_strip->widget());
    layout->addWidget(m_editor->widget(), 1);
    // Editing in full: as large as the main frame allows.
    resize(parent ? parent->size() * 0.8 : QSize(800, 600));
    setModal(true);
    // The page takes every key it is given; Escape still closes the dialog.
    auto *close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    close->setContext(Qt::WindowShortcut);
    connect(close, &QShortcut::activated, this, &QDialog::reject);

    connect(m_strip.get(), &Pane::domEvent, this, [this](const DomEvent &event) {
        if (!isStripCell(event.source.id))
            return;
        if (event.type == DomEventType::Click)
            sDoc_onclick(event.source);
        else if (event.type == DomEventType::MouseOver || event.type == DomEventType::MouseOut)
            sDoc_onmouseover(event.source, event.type == DomEventType::MouseOver);
    });
    connect(m_editor.get(), &Pane::ready, this,
            [this] { m_editor->document().focus(QStringLiteral("note")); });
    m_strip->write(stripHtml(buffer));
    m_editor->write(editorHtml(buffer));
}

dlgGen::~dlgGen() = default;

QString dlgGen::stripHtml(const QString &note)
{
    return QStringLiteral("<head><style>A{white-space:nowrap;color:#000099}body{background-color:"
                          "#ffffee}td{padding:2;text-align:center;font-family:Verdana,'DejaVu "
                          "Sans',sans-serif;font-size:10pt;cursor:pointer;user-select:none;"
                          "background-color:") +
           kCell + QStringLiteral(";width:25px}</style><title>") + note.left(50).toHtmlEscaped() +
           QStringLiteral("</title></head><body style=margin:0px><table width=40% align=center>"
                          "<tr><td id=ps>Page&nbsp;Setup</td><td id=pp>Print&nbsp;Preview</td>"
                          "<td id=p>Print</td></tr></table></body>");
}

QString dlgGen::editorHtml(const QString &note)
{
    // Plain text kept as typed: line breaks and runs of blanks show as they are.
    return QStringLiteral("<head><style>body{margin:0}#note{white-space:pre-wrap;min-height:"
                          "100vh;padding:8px;box-sizing:border-box;outline:none;font-family:"
                          "Verdana,'DejaVu Sans',sans-serif;font-size:10pt}</style></head><body>"
                          "<div id=note contenteditable=true>") +
           note.toHtmlEscaped() + QStringLiteral("</div></body>");
}

void dlgGen::sDoc_onclick(const ElementSnapshot &cell)
{
    BrowserCommand command = BrowserCommand::Print;
    if (cell.id == QLatin1String("ps"))
        command = BrowserCommand::PageSetup;
    else if (cell.id == QLatin1String("pp"))
        command = BrowserCommand::PrintPreview;
    if (!m_editor->control().execCommand(command, CommandPrompt::PromptUser) && m_ctx.ui)
        (void)m_ctx.ui->messageBox(kPrintError, QStringLiteral("Skimline"), MessageButtons::Ok,
                                   MessageIcon::Warning);
}

void dlgGen::sDoc_onmouseover(const ElementSnapshot &cell, bool over)
{
    m_strip->document().setStyle(cell.id, QStringLiteral("background-color"),
                                 over ? kCellOver : kCell);
}

void dlgGen::done(int result)
{
    if (m_closing)
        return;
    m_closing = true;
    // The page's text is read before the dialog goes. A blank answer keeps the buffer: it is
    // also what a page that went away gives, and an emptied note is deleted in the pane.
    QPointer<dlgGen> self(this);
    m_editor->document().queryBodyText([self, result](const QString &text) {
        if (!self)
            return;
        if (!text.trimmed().isEmpty())
            self->m_buffer = text;
        self->QDialog::done(result);
        Q_EMIT self->textReturned(self->m_buffer);
        self->deleteLater();
    });
}
