#include "PagePrinting.h"

#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

PagePrinting::PagePrinting(QWebEngineView *view, QObject *parent) : QObject(parent), m_view(view)
{}

PagePrinting::~PagePrinting() = default;

QPrinter *PagePrinting::printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return m_printer.get();
}

void PagePrinting::print(QWidget *dialogParent, bool preview, bool prompt)
{
    if (preview) {
        QPrintPreviewDialog dialog(printer(), dialogParent);
        connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter *target) {
            // The preview paints synchronously; this is a user command, not an engine callback.
            QEventLoop loop;
            connect(m_view, &QWebEngineView::printFinished, &loop, &QEventLoop::quit);
            m_printing = true;
            m_view->print(target);
            loop.exec();
            m_printing = false;
        });
        dialog.exec();
        return;
    }
    if (prompt) {
        QPrintDialog dialog(printer(), dialogParent);
        if (dialog.exec() != QDialog::Accepted)
            return;
    }
    m_printing = true;
    connect(
        m_view, &QWebEngineView::printFinished, this, [this](bool) { m_printing = false; },
        Qt::SingleShotConnection);
    m_view->print(printer());
}

bool PagePrinting::pageSetup(QWidget *dialogParent)
{
    QPageSetupDialog dialog(printer(), dialogParent);
    return dialog.exec() == QDialog::Accepted;
}

bool PagePrinting::saveAs(QWidget *dialogParent, bool prompt)
{
    QWebEnginePage *page = m_view->page();
    QString name = page->title().trimmed();
    name.replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|]")), QStringLiteral("_"));
    if (name.isEmpty())
        name = QStringLiteral("page");
    QString dir = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (dir.isEmpty())
        dir = QDir::homePath();
    QString path = QDir(dir).filePath(name + QStringLiteral(".html"));
    if (prompt) {
        path = QFileDialog::getSaveFileName(
            dialogParent, tr("Save As"), path,
            tr("Web page, HTML only (*.html *.htm);;Web archive (*.mhtml)"));
        if (path.isEmpty())
            return false;
    }
    const auto format = path.endsWith(QLatin1String(".mhtml"), Qt::CaseInsensitive)
                            ? QWebEngineDownloadRequest::MimeHtmlSaveFormat
                            : QWebEngineDownloadRequest::SingleHtmlSaveFormat;
    page->save(path, format);
    return true;
}
