#pragma once

#include "startup/PageDialog.h"
#include "startup/Settings.h"

#include <QSet>

// The options dialog: frmOptions.htm, filled from the settings when it completes and saved
// whenever it closes (Esc, the window's close button); closing is never refused.
class Options : public PageDialog
{
    Q_OBJECT
public:
    Options(AppContext &ctx, QWidget *parent);

    // Shows the dialog over parent, or brings forward the one already open there.
    static Options *Show(AppContext &ctx, QWidget *parent);

    // Reads the page, saves it, then closes.
    void requestClose();

Q_SIGNALS:
    void saved(const QStringList &problems);

protected:
    void pageComplete(Document &doc) override;
    void domEvent(const DomEvent &event) override;
    void reject() override;
    void closeEvent(QCloseEvent *event) override;

private:
    void ShowHelp(bool show);
    void Form_QueryUnload(const OptionsPage &page);
    void setHistory(bool on);
    void applyPageZoom();
    void finish();

    bool m_showHelp = true;
    bool m_closing = false;
    bool m_closed = false;
    QSet<QString> m_helpShown;
};
