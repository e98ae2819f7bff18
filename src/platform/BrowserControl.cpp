#include "platform/BrowserControl.h"

#include <QByteArrayView>

namespace {

bool isTokenChar(char c)
{
    // RFC 7230 token characters
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

} // namespace

std::optional<QList<HeaderLine>> parseHeaderLines(const QString &text)
{
    QList<HeaderLine> lines;
    const QByteArray bytes = text.toUtf8();
    const QList<QByteArray> parts = bytes.split('\n');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        QByteArray body = parts[i];
        const bool last = i == parts.size() - 1;
        // Only CR LF separates lines: a bare LF or CR inside a line could smuggle a header.
        if (!last) {
            if (!body.endsWith('\r'))
                return std::nullopt;
            body.chop(1);
        }
        if (body.contains('\r') || body.contains('\0'))
            return std::nullopt;
        if (body.trimmed().isEmpty())
            continue;
        const qsizetype colon = body.indexOf(':');
        if (colon <= 0)
            return std::nullopt;
        const QByteArray name = body.left(colon).trimmed();
        if (name.isEmpty())
            return std::nullopt;
        for (char c : name) {
            if (!isTokenChar(c))
                return std::nullopt;
        }
        lines.append({name, body.mid(colon + 1).trimmed()});
    }
    return lines;
}

bool hostMatches(const QString &ruleHost, const QString &requestHost)
{
    QString rule = ruleHost.trimmed().toLower();
    while (rule.startsWith(QLatin1Char('.')))
        rule.remove(0, 1);
    const QString host = requestHost.toLower();
    if (rule.isEmpty() || host.isEmpty())
        return false;
    if (host == rule)
        return true;
    return host.endsWith(rule) && host.at(host.size() - rule.size() - 1) == QLatin1Char('.');
}

int virtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::KeypadModifier) {
        // The keypad gives the same codes with Num Lock on or off.
        switch (qtKey) {
        case Qt::Key_0:
        case Qt::Key_Insert:
            return 96;
        case Qt::Key_1:
        case Qt::Key_End:
            return 97;
        case Qt::Key_2:
        case Qt::Key_Down:
            return 98;
        case Qt::Key_3:
        case Qt::Key_PageDown:
            return 99;
        case Qt::Key_4:
        case Qt::Key_Left:
            return 100;
        case Qt::Key_5:
        case Qt::Key_Clear:
            return 101;
        case Qt::Key_6:
        case Qt::Key_Right:
            return 102;
        case Qt::Key_7:
        case Qt::Key_Home:
            return 103;
        case Qt::Key_8:
        case Qt::Key_Up:
            return 104;
        case Qt::Key_9:
        case Qt::Key_PageUp:
            return 105;
        case Qt::Key_Asterisk:
            return 106;
        case Qt::Key_Plus:
            return 107;
        case Qt::Key_Minus:
            return 109;
        case Qt::Key_Period:
        case Qt::Key_Comma:
        case Qt::Key_Delete:
            return 110;
        case Qt::Key_Slash:
            return 111;
        case Qt::Key_Enter:
        case Qt::Key_Return:
            return 13;
        default:
            break;
        }
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 'A' + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return '0' + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 112 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Pause:
        return 19;
    case Qt::Key_CapsLock:
        return 20;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    case Qt::Key_Meta:
        return 91;
    case Qt::Key_NumLock:
        return 144;
    case Qt::Key_ScrollLock:
        return 145;
    // Punctuation: the codes of a US layout, by the key's unshifted and shifted characters.
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
        return 186;
    case Qt::Key_Equal:
    case Qt::Key_Plus:
        return 187;
    case Qt::Key_Comma:
    case Qt::Key_Less:
        return 188;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        return 189;
    case Qt::Key_Period:
    case Qt::Key_Greater:
        return 190;
    case Qt::Key_Slash:
    case Qt::Key_Question:
        return 191;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
        return 192;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
        return 219;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
        return 220;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
        return 221;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
        return 222;
    default:
        return 0;
    }
}

BeforeNavigateInfo programNavigation(const QUrl &url, const QString &headers,
                                     const QByteArray &postData)
{
    BeforeNavigateInfo info;
    info.url = url;
    info.kind = NavigationKind::Program;
    info.isPost = !postData.isEmpty();
    info.postData = postData;
    info.headers = headers;
    return info;
}
