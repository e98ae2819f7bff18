#pragma once

#include "startup/PageDialog.h"

class MDIForm1;

// frmEditor.htm: FormData.txt's snippets in the text area "s1"; "ok" writes them (UTF-16, CR LF
// between lines, readable by the owner only) and rebuilds the frame's form-field menu at once.
class frmEditor : public PageDialog
{
    Q_OBJECT
public:
    frmEditor(AppContext &ctx, MDIForm1 *frame);
    ~frmEditor() override;

    // One editor at a time, window-modal over the frame.
    static frmEditor *Show(AppContext &ctx, MDIForm1 *frame);

    // The text area's text as the file keeps it.
    static QString FileText(const QString &areaText);

protected:
    void pageComplete(Document &doc) override;
    void domEvent(const DomEvent &event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override { close(); }

private:
    void ok(const QString &text);
    void Form_Unload();

    MDIForm1 *m_frame;
    bool m_unloaded = false;
};
