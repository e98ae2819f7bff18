#pragma once

#include <QFrame>
#include <QString>

#include <functional>

class QLabel;

// A small borderless message drawn over the main frame (the About box). A click anywhere in it
// closes it.
class cPopupMessage : public QFrame
{
    Q_OBJECT
public:
    // onClick runs on the first click inside; it is expected to release this instance.
    cPopupMessage(QWidget *frame, std::function<void()> onClick);

    // Builds the content, sizes the box to it and shows it over the frame. referenceWidth is the
    // width of the address box; the box takes half of it.
    void PopupShow(const QString &html, int referenceWidth);

    int popupWidth() const { return m_width; }
    int popupHeight() const { return m_height; }
    QString html() const;

    // The version line and legal notice of the About message, HTML.
    static QString aboutHtml(const QString &version);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void DocPopup_onclick();

    QLabel *m_label = nullptr;
    std::function<void()> m_onClick;
    int m_width = 0;
    int m_height = 0;
};
