#include "frame/cPopupMessage.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace {
// The smallest box that still reads well when the address box is narrow.
constexpr int kMinWidth = 220;
} // namespace

cPopupMessage::cPopupMessage(QWidget *frame, std::function<void()> onClick)
    : QFrame(frame), m_onClick(std::move(onClick))
{
    setObjectName(QStringLiteral("cPopupMessage"));
    setAttribute(Qt::WA_StyledBackground, true);
    // 1ex double red border, 2ex padding, measured in the frame's font.
    const int ex = qMax(4, QFontMetrics(font()).xHeight());
    setStyleSheet(QStringLiteral("#cPopupMessage { background: #ffffff; border: %1px double red; }")
                      .arg(qMax(3, ex)));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2 * ex, 2 * ex, 2 * ex, 2 * ex);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("popupBody"));
    m_label->setTextFormat(Qt::RichText);
    m_label->setWordWrap(true);
    m_label->setTextInteractionFlags(Qt::NoTextInteraction);
    m_label->installEventFilter(this);
    layout->addWidget(m_label);
    hide();
}

QString cPopupMessage::aboutHtml(const QString &version)
{
    return QStringLiteral("<p style='font-weight:bold'>") + version.toHtmlEscaped() +
           QStringLiteral("</p><p>A web browser for reading many pages fast.</p>"
                          "<p>Skimline is provided as it is, without warranty of any kind, "
                          "express or implied. You use it at your own risk.</p>"
                          "<p style='color:#666'>Click this box to close it.</p>");
}

void cPopupMessage::PopupShow(const QString &html, int referenceWidth)
{
    m_label->setText(html);
    QWidget *frame = parentWidget();
    const int frameWidth = frame ? frame->width() : 800;
    m_width = qBound(qMin(kMinWidth, frameWidth), referenceWidth / 2, qMax(kMinWidth, frameWidth));
    m_height = heightForWidth(m_width);
    if (m_height <= 0) {
        const QMargins m = layout()->contentsMargins();
        m_height = m_label->heightForWidth(m_width - m.left() - m.right()) + m.top() + m.bottom();
    }
    resize(m_width, m_height);
    if (frame)
        move((frame->width() - m_width) / 2, qMax(0, frame->height() / 5));
    show();
    raise();
}

QString cPopupMessage::html() const
{
    return m_label->text();
}

void cPopupMessage::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    DocPopup_onclick();
}

bool cPopupMessage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_label && event->type() == QEvent::MouseButtonPress) {
        DocPopup_onclick();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

void cPopupMessage::DocPopup_onclick()
{
    hide();
    if (m_onClick)
        m_onClick();
}
