#include "startup/AgreementDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

AgreementDialog::AgreementDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AgreementDialog"));
    setWindowTitle(QStringLiteral("Skimline - Agreement"));
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    auto *intro = new QLabel(
        QStringLiteral("Please read the agreement. Skimline starts once you accept it."), this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto *text = new QTextBrowser(this);
    text->setObjectName(QStringLiteral("agreementText"));
    text->setOpenLinks(false);
    text->setHtml(agreementHtml());
    layout->addWidget(text, 1);
    auto *buttons = new QDialogButtonBox(this);
    m_accept = buttons->addButton(QStringLiteral("I &Accept"), QDialogButtonBox::AcceptRole);
    m_accept->setObjectName(QStringLiteral("accept"));
    m_decline = buttons->addButton(QStringLiteral("I &Decline"), QDialogButtonBox::RejectRole);
    m_decline->setObjectName(QStringLiteral("decline"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_accept->setDefault(true);
    resize(560, 440);
}

QString AgreementDialog::agreementHtml()
{
    return QStringLiteral(
        "<h3>Skimline user agreement</h3>"
        "<p>Skimline is a web browser. It shows you pages of the web and keeps, on this "
        "computer only, the records you use it for: the pages of your sessions, your favorites, "
        "your history, your notes, the form data you save and the pages you save.</p>"
        "<p><b>No warranty.</b> Skimline is provided as it is, without warranty of any kind, "
        "express or implied, including the warranties of merchantability, fitness for a "
        "particular purpose and non-infringement. You use it at your own risk.</p>"
        "<p><b>Limitation of liability.</b> In no event shall the authors be liable for any "
        "claim, damages or other liability arising from the use of Skimline or from other "
        "dealings in it, including the loss of data.</p>"
        "<p><b>Web content.</b> The pages you visit belong to their owners. Skimline does not "
        "check them; their terms apply to your use of them.</p>"
        "<p><b>Your data.</b> Skimline sends nothing about you anywhere. It contacts a server "
        "only to load the pages you ask for, the feeds and favorites you choose to check, and, "
        "when you set an address for it, the check for a newer version.</p>"
        "<p>Choose <i>I Accept</i> to start Skimline. Choose <i>I Decline</i> to leave: Skimline "
        "closes and keeps no records.</p>");
}
