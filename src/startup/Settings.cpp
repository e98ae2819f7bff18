#include "startup/Settings.h"

#include "reader/AppContext.h"
#include "store/cFile.h"

#include <QLocale>

#include <cmath>
#include <limits>
#include <optional>

namespace {

const QString kOptionChecks = QStringLiteral("OptionChecks");
const QString kMaxWindows = QStringLiteral("MaxWindows");
const QString kTempZoom = QStringLiteral("TempZoomSetting");
const QString kPageZoom = QStringLiteral("PageZoom");
const QString kUserAgent = QStringLiteral("UserAgent");
const QString kShowHelp = QStringLiteral("ShowHelp");
const QString kSecureLinks = QStringLiteral("SecureLinksInPlace");

constexpr int kFewestWindows = 4;
constexpr float kSmallestTempZoom = 0.4f;

// A number as typed: either decimal separator, surrounding blanks allowed.
std::optional<double> typedNumber(const QString &text)
{
    QString t = text.trimmed();
    bool ok = false;
    double v = t.toDouble(&ok);
    if (!ok)
        v = QLocale().toDouble(t, &ok);
    if (!ok) {
        t.replace(QLatin1Char(','), QLatin1Char('.'));
        v = t.toDouble(&ok);
    }
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// A zoom box: empty means `empty`; text that is not a number adds `problem` (with the text)
// and gives nothing.
std::optional<float> typedZoom(const QString &typed, float empty, const QString &problem,
                               QStringList &problems)
{
    if (typed.trimmed().isEmpty())
        return empty;
    if (const std::optional<double> n = typedNumber(typed))
        return float(*n);
    problems << problem.arg(typed.trimmed());
    return std::nullopt;
}

// A single-precision value as typed, not with the digits of its binary form.
QString shownNumber(float value)
{
    return QString::number(double(value), 'g', 6);
}

QString shown(float value)
{
    return value > 0 ? shownNumber(value) : QString();
}

} // namespace

OptionSettings ReadOptionSettings(cFile &file)
{
    OptionSettings s;
    s.glOptionChecks = file.GetOption(kOptionChecks, s.glOptionChecks).toInt();
    s.giMaxWindows = file.GetOption(kMaxWindows, s.giMaxWindows).toInt();
    s.gsngTempZoom = file.GetOption(kTempZoom, double(s.gsngTempZoom)).toFloat();
    s.gsngPageZoom = file.GetOption(kPageZoom, double(s.gsngPageZoom)).toFloat();
    s.gsUserAgent = file.GetOption(kUserAgent, s.gsUserAgent).toString();
    s.showHelp = file.GetOption(kShowHelp, s.showHelp).toBool();
    s.secureLinksInPlace = file.GetOption(kSecureLinks, s.secureLinksInPlace).toBool();
    return s;
}

void LoadSettings(AppContext &ctx, cFile &file)
{
    const OptionSettings s = ReadOptionSettings(file);
    ctx.glOptionChecks = s.glOptionChecks;
    ctx.gbOptBit1 = s.glOptionChecks & OptionBit::TodaysPages;
    ctx.gbOptBit4 = s.glOptionChecks & OptionBit::History;
    ctx.gbOptBit8 = s.glOptionChecks & OptionBit::DefaultWheel;
    // A stored count below the pool's floor would starve the queue.
    ctx.giMaxWindows = s.giMaxWindows > 0 ? s.giMaxWindows : 50;
    ctx.gsngTempZoom = s.gsngTempZoom;
    ctx.gsngPageZoom = s.gsngPageZoom > 0 ? s.gsngPageZoom : 0;
    ctx.gsUserAgent = s.gsUserAgent;
    // Read as "Mode", written as "mode": option keys compare without regard to case.
    ctx.giBrowsingMode = file.GetOption(QStringLiteral("Mode"), 1).toInt();
    ctx.gsSupportMail = file.GetOption(QStringLiteral("SupportMail"), QString()).toString();
}

OptionSettings CurrentSettings(const AppContext &ctx, bool showHelp, bool secureLinksInPlace)
{
    OptionSettings s;
    s.gsUserAgent = ctx.gsUserAgent;
    s.glOptionChecks = ctx.glOptionChecks;
    s.giMaxWindows = ctx.giMaxWindows;
    s.gsngTempZoom = ctx.gsngTempZoom;
    s.gsngPageZoom = ctx.gsngPageZoom;
    s.showHelp = showHelp;
    s.secureLinksInPlace = secureLinksInPlace;
    return s;
}

OptionsPage FillOptionsPage(const OptionSettings &s)
{
    OptionsPage p;
    p.C1 = s.glOptionChecks & OptionBit::TodaysPages;
    p.C2 = s.glOptionChecks & OptionBit::LastSession;
    p.C3 = s.glOptionChecks & OptionBit::History;
    p.C4 = s.glOptionChecks & OptionBit::DefaultWheel;
    p.T4 = shown(s.gsngTempZoom);
    p.T3 = shown(s.gsngPageZoom);
    p.T2 = QString::number(s.giMaxWindows);
    p.T1 = s.gsUserAgent;
    p.showHelp = s.showHelp;
    p.secureLinksInPlace = s.secureLinksInPlace;
    return p;
}

OptionsSave SaveOptionsPage(const OptionsPage &page, const OptionSettings &current)
{
    OptionsSave out;
    OptionSettings &s = out.settings;
    s = current;
    const auto write = [&out](const QString &key, const QVariant &value) {
        out.writes.append({key, value});
    };

    s.showHelp = page.showHelp;
    write(kShowHelp, OptionFlag(s.showHelp));
    s.gsUserAgent = page.T1;
    write(kUserAgent, s.gsUserAgent);
    s.glOptionChecks = (page.C1 ? OptionBit::TodaysPages : 0) |
                       (page.C2 ? OptionBit::LastSession : 0) | (page.C3 ? OptionBit::History : 0) |
                       (page.C4 ? OptionBit::DefaultWheel : 0);
    write(kOptionChecks, s.glOptionChecks);
    s.secureLinksInPlace = page.secureLinksInPlace;
    write(kSecureLinks, OptionFlag(s.secureLinksInPlace));

    if (const std::optional<double> n = typedNumber(page.T2);
        n && std::abs(*n) <= std::numeric_limits<qint16>::max()) {
        s.giMaxWindows = qMax(kFewestWindows, int(std::lround(*n)));
        write(kMaxWindows, s.giMaxWindows);
    } else {
        out.problems << QStringLiteral("The maximum number of windows was not changed: \"%1\" is "
                                       "not a number. It stays %2.")
                            .arg(page.T2.trimmed(), QString::number(current.giMaxWindows));
    }

    // A zoom that is not a number stops the saving here: the page zoom is not saved either.
    const std::optional<float> tempZoom =
        typedZoom(page.T4, 1,
                  QStringLiteral("The zoom of Enlarge Fonts \"%1\" is not a number: it and the "
                                 "zoom of every page were not changed."),
                  out.problems);
    if (!tempZoom)
        return out;
    s.gsngTempZoom = *tempZoom < kSmallestTempZoom ? 1.0f : *tempZoom;
    write(kTempZoom, shownNumber(s.gsngTempZoom));

    // Empty is how the page shows "no zoom".
    const std::optional<float> typedPageZoom = typedZoom(
        page.T3, 0,
        QStringLiteral("The zoom of every page \"%1\" is not a number: it was not changed."),
        out.problems);
    if (!typedPageZoom)
        return out;
    float pageZoom = *typedPageZoom;
    // 1 and anything not above 0 mean no zoom, stored as 0.
    if (pageZoom <= 0 || qFuzzyCompare(pageZoom, 1.0f))
        pageZoom = 0;
    s.gsngPageZoom = pageZoom;
    write(kPageZoom, shownNumber(pageZoom));
    return out;
}
