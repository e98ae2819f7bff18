#pragma once

#include <QString>

class AppContext;
class MDIForm1;
class Reader;
class Recordset;

// Pages saved as HTML only into the documents folder, the store that lists them, and the page
// that shows them with their Delete links.
class SavedFiles
{
public:
    SavedFiles(AppContext &ctx, MDIForm1 &frame);

    // "skl:del" from the program's own pages.
    void registerCommandLinks(Reader &reader);

    // File > Save HTML Only: the active window's page, after asking for a title.
    void mnuFile_Save_Click();
    // View > Saved Files: the listing in the active window.
    void mnuView_SavedFiles_Click();

    // Deletes a saved page: its record and its file. Only a file the store lists and that
    // lies inside the documents folder: a link can never delete anything else.
    bool deleteSaved(const QString &filename);
    // The listing, also kept as a page file beside the store.
    [[nodiscard]] static QString pageHtml(Recordset &savedFiles);
    bool WriteSavedFilesPage();

    static inline const QString kFramesMessage = QStringLiteral(
        "This page contains frames and will not save properly as HTML only.\r\nUse the SaveAs "
        "option under the File submenu, and choose Web Page, Complete or Web Archive, Single "
        "File in the Save As Type drop-down box.");
    static inline const QString kPageTitle =
        QStringLiteral("File saved using the File - Save HTML Only option.");

private:
    void writeFile(const QString &path, const QString &title, const QString &url,
                   const QString &html);
    bool showingListing() const;

    AppContext &m_ctx;
    MDIForm1 &m_frame;
};
