#include "frame/PopupWindow.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>

namespace {

const QColor kGround(0xF0, 0xFF, 0xF0);
const QColor kBorder(0x00, 0x80, 0x00); // "GREEN"
constexpr int kPad = 2;                 // the body's top and left margins

} // namespace

PopupWindow::PopupWindow(QWidget *frame)
    : QWidget(frame, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
      m_frame(frame), m_bar(new QScrollBar(Qt::Vertical, this))
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    QFont f(QStringLiteral("Verdana"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(10); // x-small
    setFont(f);
    m_bar->setFocusPolicy(Qt::NoFocus);
    m_bar->setCursor(Qt::ArrowCursor);
    m_bar->hide();
    connect(m_bar, &QScrollBar::valueChanged, this, [this] { update(); });
}

int PopupWindow::ex() const
{
    return qMax(1, fontMetrics().xHeight());
}

int PopupWindow::lineHeight() const
{
    return fontMetrics().height() + 2;
}

int PopupWindow::contentHeight() const
{
    return kPad + count() * lineHeight() + 2 * ex();
}

int PopupWindow::listHeight() const
{
    return qMax(0, height() - kPad - 2 * ex());
}

void PopupWindow::setEntries(const QList<Entry> &entries)
{
    m_entries = entries;
    m_highlighted.clear();
    m_bar->setValue(0);
    layoutScrollBar();
    update();
}

int PopupWindow::indexOf(const QString &id) const
{
    if (!id.startsWith(QLatin1Char('d')))
        return -1;
    bool ok = false;
    const int i = id.mid(1).toInt(&ok);
    return ok && i >= 0 && i < count() && id == entryId(i) ? i : -1;
}

QString PopupWindow::entryText(const QString &id) const
{
    const int i = indexOf(id);
    return i < 0 ? QString() : m_entries[i].text;
}

QString PopupWindow::entryToolTip(const QString &id) const
{
    const int i = indexOf(id);
    if (i < 0 || m_entries[i].title.isEmpty())
        return QString();
    // Rich text, so that Qt never guesses: the title is always shown as the text it is.
    return QStringLiteral("<p style='white-space:pre'>") + m_entries[i].title.toHtmlEscaped() +
           QStringLiteral("</p>");
}

void PopupWindow::setHighlighted(const QString &id)
{
    m_highlighted = indexOf(id) < 0 ? QString() : id;
    const int i = indexOf(m_highlighted);
    if (i >= 0 && m_scrolling) {
        // Keep the highlighted line in view, as the body scrolls to a focused line.
        const int top = i * lineHeight();
        if (top < m_bar->value())
            m_bar->setValue(top);
        else if (top + lineHeight() > m_bar->value() + listHeight())
            m_bar->setValue(top + lineHeight() - listHeight());
    }
    update();
}

void PopupWindow::setScrolling(bool scrolling)
{
    m_scrolling = scrolling;
    layoutScrollBar();
}

void PopupWindow::showAt(int left, int top, int width, int height)
{
    const QPoint at = m_frame ? m_frame->mapToGlobal(QPoint(left, top)) : QPoint(left, top);
    setGeometry(at.x(), at.y(), qMax(1, width), qMax(1, height));
    layoutScrollBar();
    show();
    raise();
}

int PopupWindow::availableHeight() const
{
    const QScreen *s = m_frame ? m_frame->screen() : screen();
    if (!s)
        return 600;
    const int frameTop = m_frame ? m_frame->mapToGlobal(QPoint(0, 0)).y() : 0;
    return s->availableGeometry().bottom() + 1 - frameTop;
}

void PopupWindow::scrollPage(bool down)
{
    if (!m_scrolling)
        return;
    m_bar->triggerAction(down ? QAbstractSlider::SliderPageStepAdd
                              : QAbstractSlider::SliderPageStepSub);
}

QString PopupWindow::firstVisibleId() const
{
    if (count() == 0)
        return QString();
    const int lh = lineHeight();
    const int offset = m_scrolling ? m_bar->value() : 0;
    const int i = (offset + lh - 1) / lh;
    return entryId(qMin(i, count() - 1));
}

void PopupWindow::layoutScrollBar()
{
    const int lh = lineHeight();
    const int visible = listHeight();
    m_bar->setVisible(m_scrolling);
    if (!m_scrolling) {
        m_bar->setValue(0);
        return;
    }
    const int w = m_bar->sizeHint().width();
    m_bar->setGeometry(width() - 2 * ex() - w, 0, w, height() - 2 * ex());
    m_bar->setRange(0, qMax(0, count() * lh - visible));
    m_bar->setPageStep(qMax(lh, visible - lh));
    m_bar->setSingleStep(lh);
}

int PopupWindow::indexAt(const QPoint &pos) const
{
    const int listRight = width() - 2 * ex() - (m_scrolling ? m_bar->width() : 0);
    if (pos.x() < 0 || pos.x() >= listRight || pos.y() < kPad || pos.y() >= kPad + listHeight())
        return -1;
    const int offset = m_scrolling ? m_bar->value() : 0;
    const int i = (pos.y() - kPad + offset) / lineHeight();
    return i < count() ? i : -1;
}

void PopupWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), kGround);
    const int e = ex();
    const int lh = lineHeight();
    const int right = width() - 2 * e - (m_scrolling ? m_bar->width() : 0);
    const QRect list(0, kPad, qMax(0, right), listHeight());
    p.save();
    p.setClipRect(list);
    const int offset = m_scrolling ? m_bar->value() : 0;
    const int highlighted = indexOf(m_highlighted);
    for (int i = offset / lh; i < count(); ++i) {
        const int y = kPad + i * lh - offset;
        if (y >= list.bottom())
            break;
        const QRect line(0, y, list.width(), lh);
        if (i == highlighted) {
            p.fillRect(line, Qt::blue);
            p.setPen(Qt::white);
        } else {
            p.setPen(Qt::black);
        }
        // nowrap, overflow hidden: a long address is cut at the edge, never wrapped.
        p.drawText(line.adjusted(kPad, 0, 0, 0),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_entries[i].text);
    }
    p.restore();
    p.fillRect(QRect(width() - e, 0, e, height()), kBorder);
    p.fillRect(QRect(0, height() - e, width(), e), kBorder);
}

void PopupWindow::mouseMoveEvent(QMouseEvent *event)
{
    const int i = indexAt(event->position().toPoint());
    if (i >= 0 && entryId(i) != m_highlighted)
        Q_EMIT entryHovered(entryId(i));
}

void PopupWindow::mouseReleaseEvent(QMouseEvent *event)
{
    const int i = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && i >= 0)
        Q_EMIT entryClicked(entryId(i));
}

void PopupWindow::wheelEvent(QWheelEvent *event)
{
    if (m_scrolling)
        m_bar->setValue(m_bar->value() - event->angleDelta().y() / 120 * 3 * lineHeight());
    event->accept();
}

void PopupWindow::resizeEvent(QResizeEvent *)
{
    layoutScrollBar();
}

bool PopupWindow::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int i = indexAt(help->pos());
        const QString tip = i < 0 ? QString() : entryToolTip(entryId(i));
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(event);
}
