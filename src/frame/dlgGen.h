#pragma once

#include "platform/Document.h"

#include <QDialog>
#include <QString>

#include <memory>

class Pane;
struct AppContext;

// "Edit or Print Note": the note as an editable page over the whole dialog and a strip with
// page setup, print preview and print. Closing hands back the page's text (textReturned).
class dlgGen : public QDialog
{
    Q_OBJECT
public:
    // Null when the browser controls cannot be made.
    static dlgGen *create(AppContext &ctx, QWidget *parent, const QString &buffer);
    ~dlgGen() override;

    Pane *dlgWBm() const { return m_editor.get(); }
    Pane *dlgWBs() const { return m_strip.get(); }

    static QString stripHtml(const QString &note);
    static QString editorHtml(const QString &note);

    void done(int result) override;

    // The dialog closed; text is what the editable page held then.
    Q_SIGNAL void textReturned(const QString &text);

private:
    dlgGen(AppContext &ctx, QWidget *parent, const QString &buffer);
    void sDoc_onclick(const ElementSnapshot &cell);
    void sDoc_onmouseover(const ElementSnapshot &cell, bool over);

    AppContext &m_ctx;
    QString m_buffer;
    std::unique_ptr<Pane> m_editor;
    std::unique_ptr<Pane> m_strip;
    bool m_closing = false;
};
