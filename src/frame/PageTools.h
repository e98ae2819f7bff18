#pragma once

#include <QString>

struct DocumentSnapshot;
struct FrameSource;
class AppContext;
class Document;
class DocumentWindow;
class MDIForm1;

// The commands that work on the page of the active window and send it elsewhere or change how
// it looks: translation and web tools (outside services), the site's home page, enlarged fonts,
// a copied link, a local file opened.
class PageTools
{
public:
    PageTools(AppContext &ctx, MDIForm1 &frame);

    // The addresses of the outside services for a page; empty when the page has none to give
    // (no web address, an index out of range).
    [[nodiscard]] static QString translationUrl(const QString &pageUrl, int pair);
    [[nodiscard]] static QString webToolUrl(const QString &pageUrl, int tool);
    [[nodiscard]] static QString siteHomeUrl(const QString &pageUrl);
    // The link to a page as HTML, for pasting into other documents.
    [[nodiscard]] static QString linkHtml(const QString &url, const QString &title);

    static constexpr int kTranslationPairs = 12;
    static constexpr int kWebTools = 3;

    void mnuTranslate_Click(int index);
    void mnuTools_Web_Click(int index);
    void mnuNav_GotoHomePageofThisSite_Click();
    void mnuView_EnlargeFonts_Click();
    void mnuView_IncreaseImageSizes_Click();
    void mnuEdit_CopyLink_Click();
    void mnuOpenLocalFile_Click();
    // The coloured source of the page (and its frames), or of the selection, in the window.
    void mnuViewSource_Click();
    void viewSelectionSource();
    void mnuView_StyleSheets_Click();
    // The desktop's file search, where one is installed.
    void mnuFind_Click();
    // Appends the selection (or, with appendNote, the note's text) to the research file, under
    // a heading for the page when it is the first passage from it.
    void AppendToCurrentResearchFile(bool bAppendNote, const QString &note = QString());
    QString researchFile() const;
    // What the research file gets for a passage; pageTitle and url for a new page's heading.
    [[nodiscard]] static QString researchEntry(const QString &url, const QString &pageTitle,
                                               bool newPage, const QString &html);

    // The block that heads a source view: the page's address, title and counts.
    [[nodiscard]] static QString sourceHeader(const DocumentSnapshot &page, const QString &cookie);
    [[nodiscard]] static QString frameHeader(int number, const FrameSource &frame);

private:
    DocumentWindow *current() const;
    QString currentUrl() const;
    void load(const QString &address, const QString &status = QString());
    // The window still shows the document a query was sent to.
    bool stillShows(DocumentWindow *w, const Document *doc) const;
    void showSource(DocumentWindow &w, const QString &title, const QString &header,
                    const QString &source);

    bool appendResearch(const QString &url, const QString &title, const QString &html);

    AppContext &m_ctx;
    MDIForm1 &m_frame;
    QString m_researchPage; // the page of the last passage, which has its heading
};
