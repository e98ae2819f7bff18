#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QScrollBar;

// The address box's drop-down: a borderless window over the frame that never takes the
// keyboard, holding one line per entry ("d0", "d1", ...), the highlighted one white on blue,
// on a pale green ground with a green border below and to the right. Entries are plain text:
// nothing in them is read as markup.
class PopupWindow : public QWidget
{
    Q_OBJECT
public:
    struct Entry
    {
        QString text;  // what the line shows and what choosing it puts into the box
        QString title; // shown as the line's tooltip
    };

    explicit PopupWindow(QWidget *frame);

    void setEntries(const QList<Entry> &entries);
    int count() const { return int(m_entries.size()); }
    static QString entryId(int index) { return QStringLiteral("d") + QString::number(index); }
    // -1 for an id that names no entry.
    int indexOf(const QString &id) const;
    QString entryText(const QString &id) const;
    // The tooltip's rich text, the title escaped.
    QString entryToolTip(const QString &id) const;

    // "" clears the highlight.
    void setHighlighted(const QString &id);
    QString highlighted() const { return m_highlighted; }

    // The height every entry needs, margins and border included (the page's scrollHeight).
    int contentHeight() const;
    // The list scrolls inside the window (overflow "scroll") or shows whole ("visible").
    void setScrolling(bool scrolling);
    bool isScrolling() const { return m_scrolling; }
    // Shows the window with its top left corner at that point of the frame.
    void showAt(int left, int top, int width, int height);
    // Screen height available below the frame's top, in the frame's pixels.
    int availableHeight() const;

    // One page down or up (the body's "pageDown" and "pageUp").
    void scrollPage(bool down);
    // The first entry whose top lies inside the visible part; "" when none.
    QString firstVisibleId() const;

Q_SIGNALS:
    void entryHovered(const QString &id);
    void entryClicked(const QString &id);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

private:
    int ex() const;
    int lineHeight() const;
    int listHeight() const; // the visible part of the list
    int indexAt(const QPoint &pos) const;
    void layoutScrollBar();

    QWidget *m_frame;
    QList<Entry> m_entries;
    QString m_highlighted;
    bool m_scrolling = false;
    QScrollBar *m_bar;
};
