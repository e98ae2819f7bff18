#pragma once

#include "platform/Document.h"

#include <QList>
#include <QString>

class Reader;
class DocumentWindow;
class Recordset;

// What a page's forms give to keep: one value per named field as its type stores it. The last
// of several selected options, and of several fields of one name, is the one kept.
QList<FormFill> FormValuesOf(const QList<FormInfo> &forms);

// The key that a site's saved fields are filed under: the host without "www.", or the whole
// address when there is no host (a local file).
QString FormSiteKey(const QString &address);

// Saved form fields, one record per site and field name in the forms store, put back into any
// page of the same site. The records with empty values go as the frame closes (ExitSequence).
class cForm
{
public:
    explicit cForm(Reader &reader) : m_reader(reader) {}

    // Keeps every named field of the window's forms (frames of the page's origin too), saves
    // the store, beeps and says so in the status bar.
    void SaveForm(DocumentWindow &w);
    void FillForm(DocumentWindow &w);
    void ResetForms(DocumentWindow &w);

    // The store's part of SaveForm and FillForm.
    [[nodiscard]] bool saveValues(const QString &siteKey, const QList<FormFill> &values);
    QList<FormFill> savedValues(const QString &siteKey);

private:
    Recordset *store() const;

    Reader &m_reader;
};
