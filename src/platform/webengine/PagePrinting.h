#pragma once

#include <QObject>

#include <memory>

class QPrinter;
class QWebEngineView;
class QWidget;

// Print, print preview, page setup and Save As of one view's page, with the printer settings
// kept from one to the next. The dialogs run their own event loops over dialogParent.
class PagePrinting : public QObject
{
    Q_OBJECT
public:
    explicit PagePrinting(QWebEngineView *view, QObject *parent = nullptr);
    ~PagePrinting() override;

    // While the page is painted for a printer, printing and saving again must wait.
    bool isPrinting() const { return m_printing; }
    void print(QWidget *dialogParent, bool preview, bool prompt);
    bool pageSetup(QWidget *dialogParent);
    // false: the user cancelled the file dialog.
    bool saveAs(QWidget *dialogParent, bool prompt);

private:
    QPrinter *printer();

    QWebEngineView *m_view;
    std::unique_ptr<QPrinter> m_printer;
    bool m_printing = false;
};
