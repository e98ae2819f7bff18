#include "frame/SavedFiles.h"

#include "frame/MDIForm1.h"
#include "platform/Document.h"
#include "platform/PageWriter.h"
#include "platform/Ui.h"
#include "reader/AppContext.h"
#include "reader/CommandLinks.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"
#include "store/DateValue.h"
#include "store/Recordset.h"
#include "store/Stores.h"
#include "store/cFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <QUrl>

namespace {

const QString kPageFileTitle =
    QStringLiteral("Files saved using the File - Save HTML Only option.");
const QString kTitlePrompt = QStringLiteral("Do you want to enter a more descriptive title?");
const QString kExistsPrompt =
    QStringLiteral("This filename already exists. Please enter a new filename.");

QString listing(Recordset &rs, const QString &title)
{
    QString html = QStringLiteral("<title>") + title +
                   QStringLiteral("</title><body style=font-size:x-small>");
    Recordset all = rs.Clone();
    int n = 0;
    for (all.MoveFirst(); !all.isEOF(); all.MoveNext(), ++n) {
        const QString url = all.Field(QStringLiteral("URL")).toString();
        const QString file = all.Field(QStringLiteral("Filename")).toString();
        const QVariant date = all.Field(QStringLiteral("Date"));
        const QString when = date.isNull()
                                 ? QString()
                                 : QLocale::c().toString(DateValue::toDateTime(date.toDouble()),
                                                         QStringLiteral("M/d/yyyy h:mm:ss AP"));
        html += QStringLiteral("<div id=D%1 style=background-color:#%2;margin:10px>")
                    .arg(n)
                    .arg(n % 2 == 0 ? QStringLiteral("FFFFEE") : QStringLiteral("EEFFEE")) +
                when + QStringLiteral(" <b>Title:</b> ") +
                all.Field(QStringLiteral("Title")).toString().toHtmlEscaped() +
                QStringLiteral("<br><b>Original URL:</b> <a href=\"") + url.toHtmlEscaped() +
                QStringLiteral("\">") + url.toHtmlEscaped() +
                QStringLiteral("</a><br><b>Filename:</b> <a href=\"skl:loc") +
                file.toHtmlEscaped() + QStringLiteral("\">") + file.toHtmlEscaped() +
                // The file's name, not a record number: numbers move when a record goes.
                QStringLiteral("</a><br>[<a href=\"skl:del") +
                QString::fromLatin1(QUrl::toPercentEncoding(file)) +
                QStringLiteral("\">Delete</a>]<hr></div>");
    }
    if (n == 0)
        html += QStringLiteral("<p>No page has been saved with File - Save HTML Only.</p>");
    return html + QStringLiteral("</body>");
}

} // namespace

SavedFiles::SavedFiles(AppContext &ctx, MDIForm1 &frame) : m_ctx(ctx), m_frame(frame)
{}

void SavedFiles::registerCommandLinks(Reader &reader)
{
    (void)reader.nav.commands().registerHandler(
        QStringLiteral("del"),
        [this](const QString &arg, const CommandContext &) { (void)deleteSaved(arg); });
}

QString SavedFiles::pageHtml(Recordset &savedFiles)
{
    return listing(savedFiles, kPageTitle);
}

bool SavedFiles::WriteSavedFilesPage()
{
    if (!m_ctx.stores || !m_ctx.stores->rsSavedFiles.State())
        return false;
    QSaveFile f(m_ctx.stores->gsSavedFilesPage);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(listing(m_ctx.stores->rsSavedFiles, kPageFileTitle).toUtf8());
    return f.commit();
}

void SavedFiles::mnuView_SavedFiles_Click()
{
    DocumentWindow *w = m_ctx.reader ? m_ctx.reader->pool.current() : nullptr;
    if (!w || !m_ctx.stores || !m_ctx.stores->rsSavedFiles.State())
        return;
    w->writeProgramPage(pageHtml(m_ctx.stores->rsSavedFiles), QStringLiteral("SavedFiles.htm"),
                        kPageTitle);
}

bool SavedFiles::showingListing() const
{
    DocumentWindow *w = m_ctx.reader ? m_ctx.reader->pool.current() : nullptr;
    return w && w->mbDocWritten && w->strDocumentTitle == kPageTitle;
}

void SavedFiles::mnuFile_Save_Click()
{
    DocumentWindow *w = m_ctx.reader ? m_ctx.reader->pool.current() : nullptr;
    Document *doc = w ? w->DocumentObject() : nullptr;
    if (!doc || !m_ctx.ui || !m_ctx.gFile || !m_ctx.stores)
        return;
    const DocumentSnapshot page = doc->snapshot();
    if (page.isFrameset || page.frameElementCount > 0) {
        (void)m_ctx.ui->messageBox(kFramesMessage, QStringLiteral("Skimline"));
        return;
    }
    const std::optional<QString> title =
        m_ctx.ui->inputBox(kTitlePrompt, QStringLiteral("Save HTML Only"), w->strDocumentTitle);
    if (!title)
        return;
    std::optional<QString> name = m_ctx.gFile->ValidFilename(*title);
    const QDir folder(m_ctx.folders.documents);
    while (name && QFileInfo::exists(folder.filePath(*name + QStringLiteral(".htm")))) {
        const std::optional<QString> other =
            m_ctx.ui->inputBox(kExistsPrompt, QStringLiteral("Save HTML Only"), *name);
        name = other ? m_ctx.gFile->ValidFilename(*other) : std::nullopt;
    }
    if (!name)
        return;
    const QString path = folder.filePath(*name + QStringLiteral(".htm"));
    const QString url = page.url.toString();
    const QString shownTitle = *title;
    QPointer<MDIForm1> frame(&m_frame);
    doc->queryOuterHTML([this, frame, path, shownTitle, url](const QString &html) {
        if (frame)
            writeFile(path, shownTitle, url, html);
    });
}

void SavedFiles::writeFile(const QString &path, const QString &title, const QString &url,
                           const QString &html)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    if (html.isEmpty() || !f.open(QIODevice::WriteOnly) ||
        f.write(QByteArrayLiteral("<!DOCTYPE html>\n") + html.toUtf8()) < 0 || !f.commit()) {
        (void)m_ctx.ui->messageBox(QStringLiteral("The page could not be saved as ") + path +
                                       QStringLiteral("."),
                                   QStringLiteral("Skimline"));
        return;
    }
    Recordset &rs = m_ctx.stores->rsSavedFiles;
    rs.AddNew();
    (void)rs.SetField(QStringLiteral("Title"), title);
    (void)rs.SetField(QStringLiteral("URL"), url);
    (void)rs.SetField(QStringLiteral("Filename"), QDir::toNativeSeparators(path));
    (void)rs.SetField(QStringLiteral("Date"), DateValue::now());
    rs.Update();
    if (!rs.Clone().Save())
        m_ctx.errorLog.LogError(rs.lastError(), StoreLog::SavedFiles);
    m_ctx.stores->gbSavedFilesExist = true;
    m_frame.setCommandEnabled(QStringLiteral("mnuView_SavedFiles"), true);
    (void)WriteSavedFilesPage();
    m_frame.SetStatusText(1, QStringLiteral("This document has been saved in text-only format."));
}

bool SavedFiles::deleteSaved(const QString &filename)
{
    if (!m_ctx.stores || !m_ctx.stores->rsSavedFiles.State())
        return false;
    const QString root = QDir(m_ctx.folders.documents).canonicalPath();
    const QString file = QFileInfo(filename).canonicalFilePath();
    Recordset rs = m_ctx.stores->rsSavedFiles.Clone();
    if (!rs.Find(QStringLiteral("Filename = '") + FilterText(filename) + QLatin1Char('\'')))
        return false;
    // A file that is gone already only loses its record; one outside the folder is never touched.
    if (!file.isEmpty()) {
        if (root.isEmpty() || !file.startsWith(root + QLatin1Char('/')) || !QFile::remove(file))
            return false;
    }
    (void)rs.Delete();
    if (!rs.Save())
        m_ctx.errorLog.LogError(rs.lastError(), StoreLog::SavedFiles);
    (void)WriteSavedFilesPage();
    if (showingListing())
        mnuView_SavedFiles_Click();
    return true;
}
