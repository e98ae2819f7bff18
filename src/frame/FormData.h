#pragma once

#include <QList>
#include <QString>

// A text snippet of the form-data menu: its entry's index (3 + the line's number, blank lines
// counted), its caption (the first 80 characters) and the whole line it inserts.
struct FormDataSnippet
{
    int index = 0;
    QString caption;
    QString text;
};

// The snippets of FormData.txt's text, one per line that is not blank.
QList<FormDataSnippet> FormDataSnippets(const QString &fileText);
