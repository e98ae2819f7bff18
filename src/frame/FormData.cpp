#include "frame/FormData.h"

#include <QRegularExpression>

QList<FormDataSnippet> FormDataSnippets(const QString &fileText)
{
    QList<FormDataSnippet> out;
    // Lines as the editor's text area or another editor ends them.
    static const QRegularExpression kLineEnd(QStringLiteral("\r\n|\n|\r"));
    const QStringList lines = fileText.split(kLineEnd);
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (!line.isEmpty())
            out.append({3 + i, line.left(80), line});
    }
    return out;
}
