#pragma once

#include <QDialog>

class QPushButton;

// Shown at the first start until the user accepts the agreement; declining ends the program.
class AgreementDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AgreementDialog(QWidget *parent = nullptr);

    static QString agreementHtml();

    QPushButton *acceptButton() const { return m_accept; }
    QPushButton *declineButton() const { return m_decline; }

private:
    QPushButton *m_accept = nullptr;
    QPushButton *m_decline = nullptr;
};
