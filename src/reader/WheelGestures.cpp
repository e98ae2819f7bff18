#include "reader/WheelGestures.h"

#include <QtGlobal>

#include <cmath>

int zoomPercent(const QString &bodyZoom)
{
    QString text = bodyZoom.trimmed();
    if (text.isEmpty())
        return 100;
    bool ok = false;
    if (text.endsWith(QLatin1Char('%'))) {
        text.chop(1);
        const double percent = text.trimmed().toDouble(&ok);
        return ok && percent > 0 ? int(std::lround(percent)) : 100;
    }
    const double factor = text.toDouble(&ok);
    return ok && factor > 0 ? int(std::lround(factor * 100)) : 100;
}

QString zoomText(double factor)
{
    return QString::number(factor * 100.0, 'g', 6) + QLatin1Char('%');
}

QString zoomAfterWheel(const QString &bodyZoom, int wheelDelta)
{
    int percent = zoomPercent(bodyZoom);
    if (wheelDelta < 0)
        percent -= kZoomStep;
    else if (wheelDelta > 0)
        percent += kZoomStep;
    percent = qMax(kZoomStep, percent);
    return QString::number(percent) + QLatin1Char('%');
}

int wholeNotches(int &remainder, int wheelDelta)
{
    remainder += wheelDelta;
    const int notches = remainder / 120;
    remainder -= notches * 120;
    return notches;
}

int clampScrollTop(int scrollTop, int scrollHeight, int clientHeight)
{
    if (scrollHeight > 0)
        scrollTop = qMin(scrollTop, qMax(0, scrollHeight - clientHeight));
    return qMax(0, scrollTop);
}

int pageScrollTarget(int scrollTop, int clientHeight, int wheelDelta, int overlap)
{
    if (wheelDelta == 0)
        return scrollTop;
    return pageKeyTarget(scrollTop, clientHeight, wheelDelta < 0 ? 1 : -1, overlap);
}

int pageKeyTarget(int scrollTop, int clientHeight, int direction, int overlap)
{
    // A window smaller than the overlap would scroll backwards; move at least one pixel.
    const int step = qMax(1, clientHeight - overlap);
    return qMax(0, scrollTop + (direction >= 0 ? step : -step));
}

WheelDecision decideWheel(Qt::KeyboardModifiers modifiers, bool rightButtonHeld, bool gbOptBit8)
{
    WheelDecision d;
    if (modifiers & (Qt::AltModifier | Qt::ShiftModifier))
        return d;
    if (modifiers & Qt::ControlModifier) {
        d.action = WheelAction::Zoom;
        return d;
    }
    d.suppressContextMenu = rightButtonHeld;
    const bool pageWise = gbOptBit8 == rightButtonHeld;
    d.action = pageWise ? WheelAction::PageScroll : WheelAction::Platform;
    return d;
}

ContextMenuAction decideContextMenu(const ContextMenuInput &in)
{
    if (in.suppress)
        return ContextMenuAction::Nothing;
    if (in.modifiers & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier))
        return ContextMenuAction::EngineMenu;
    if (in.leftButtonHeld)
        return ContextMenuAction::CloseWindow;
    if (in.onLink)
        return ContextMenuAction::TakeOverLink;
    const bool textField = in.tagName == QLatin1String("TEXTAREA") ||
                           (in.tagName == QLatin1String("INPUT") &&
                            (in.inputType.isEmpty() || in.inputType == QLatin1String("text") ||
                             in.inputType == QLatin1String("password")));
    if (textField)
        return ContextMenuAction::FormFieldMenu;
    if (in.hasText)
        return ContextMenuAction::TextMenu;
    return ContextMenuAction::EngineMenu;
}

LinkTakeOver takeOverLink(int giBrowsingMode)
{
    LinkTakeOver t;
    const bool tabbed = giBrowsingMode == 4 || giBrowsingMode == 5;
    t.browsingMode = tabbed ? 5 : giBrowsingMode;
    t.navigateInOtherWindow = tabbed;
    return t;
}
