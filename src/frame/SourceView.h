#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// A page's HTML source as HTML that shows it as coloured text: tags blue, script red, style
// maroon, and the big blocks (table, form, head, iframe) on a tinted background.
namespace SourceView {

// Nothing from the source reaches the result as live markup. progress, when given, hears of
// the characters done about every 64 KiB, and once at the end.
QString convert(const QString &source,
                const std::function<void(qsizetype done, qsizetype total)> &progress = {});
// The same in parts that each stand on their own (no block spans two): the first of about
// firstPart characters, the others of about part. Joined they are convert's result.
QStringList convertParts(const QString &source, qsizetype firstPart, qsizetype part,
                         const std::function<void(qsizetype done, qsizetype total)> &progress = {});

} // namespace SourceView
