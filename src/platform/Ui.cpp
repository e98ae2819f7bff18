#include "platform/Ui.h"

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHash>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QWidget>

struct QtUi::Private
{
    QPointer<QWidget> dialogParent;
    QHash<int, QPointer<QTimer>> timers;
    int nextTimer = 1;
    QSet<int> keysDown;
};

QtUi::QtUi(QWidget *dialogParent, QObject *parent) : QObject(parent), d(new Private)
{
    d->dialogParent = dialogParent;
    if (qApp)
        qApp->installEventFilter(this);
}

QtUi::~QtUi()
{
    if (qApp)
        qApp->removeEventFilter(this);
    for (const QPointer<QTimer> &t : std::as_const(d->timers))
        delete t.data();
    delete d;
}

void QtUi::setDialogParent(QWidget *parent)
{
    d->dialogParent = parent;
}

QWidget *QtUi::dialogParent() const
{
    return d->dialogParent ? d->dialogParent.data() : QApplication::activeWindow();
}

MessageResult QtUi::messageBox(const QString &text, const QString &title, MessageButtons buttons,
                               MessageIcon icon)
{
    QMessageBox::StandardButtons set;
    switch (buttons) {
    case MessageButtons::Ok:
        set = QMessageBox::Ok;
        break;
    case MessageButtons::OkCancel:
        set = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case MessageButtons::YesNo:
        set = QMessageBox::Yes | QMessageBox::No;
        break;
    case MessageButtons::YesNoCancel:
        set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    case MessageButtons::RetryCancel:
        set = QMessageBox::Retry | QMessageBox::Cancel;
        break;
    case MessageButtons::AbortRetryIgnore:
        set = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
        break;
    }
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
    case MessageIcon::None:
        break;
    case MessageIcon::Information:
        qicon = QMessageBox::Information;
        break;
    case MessageIcon::Warning:
        qicon = QMessageBox::Warning;
        break;
    case MessageIcon::Critical:
        qicon = QMessageBox::Critical;
        break;
    case MessageIcon::Question:
        qicon = QMessageBox::Question;
        break;
    }
    QMessageBox box(qicon, title, text, set, dialogParent());
    switch (box.exec()) {
    case QMessageBox::Ok:
        return MessageResult::Ok;
    case QMessageBox::Yes:
        return MessageResult::Yes;
    case QMessageBox::No:
        return MessageResult::No;
    case QMessageBox::Retry:
        return MessageResult::Retry;
    case QMessageBox::Abort:
        return MessageResult::Abort;
    case QMessageBox::Ignore:
        return MessageResult::Ignore;
    default:
        return MessageResult::Cancel;
    }
}

std::optional<QString> QtUi::inputBox(const QString &prompt, const QString &title,
                                      const QString &defaultText)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(dialogParent(), title, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

std::optional<QString> QtUi::openFileName(const QString &caption, const QString &directory,
                                          const QString &filter)
{
    const QString path = QFileDialog::getOpenFileName(dialogParent(), caption, directory, filter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> QtUi::saveFileName(const QString &caption, const QString &path,
                                          const QString &filter)
{
    const QString chosen = QFileDialog::getSaveFileName(dialogParent(), caption, path, filter);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

void QtUi::beep()
{
    QApplication::beep();
}

void QtUi::flashWindow(QWidget *window)
{
    if (window)
        QApplication::alert(window->window());
}

int QtUi::singleShot(int ms, QObject *context, std::function<void()> action)
{
    const int id = d->nextTimer++;
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    QPointer<QObject> guard(context);
    const bool guarded = context != nullptr;
    connect(timer, &QTimer::timeout, this, [this, id, timer, guard, guarded, action] {
        d->timers.remove(id);
        timer->deleteLater();
        if (guarded && !guard)
            return;
        if (action)
            action();
    });
    d->timers.insert(id, timer);
    timer->start(ms);
    return id;
}

void QtUi::cancelTimer(int id)
{
    const QPointer<QTimer> timer = d->timers.take(id);
    if (timer) {
        timer->stop();
        timer->deleteLater();
    }
}

Qt::KeyboardModifiers QtUi::keyboardModifiers() const
{
    return QGuiApplication::queryKeyboardModifiers();
}

Qt::MouseButtons QtUi::mouseButtons() const
{
    return QGuiApplication::mouseButtons();
}

bool QtUi::isKeyDown(int qtKey) const
{
    return d->keysDown.contains(qtKey);
}

bool QtUi::eventFilter(QObject *watched, QEvent *event)
{
    // Every key event passes here first, whichever widget has the focus.
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (!key->isAutoRepeat()) {
            if (event->type() == QEvent::KeyPress)
                d->keysDown.insert(key->key());
            else
                d->keysDown.remove(key->key());
        }
    } else if (event->type() == QEvent::ApplicationDeactivate) {
        d->keysDown.clear();
    }
    return QObject::eventFilter(watched, event);
}
