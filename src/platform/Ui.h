#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class MessageIcon { None, Information, Warning, Critical, Question };
enum class MessageResult { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

// Modal dialogs, sounds, timers and the state of the keyboard and mouse right now.
class Ui
{
public:
    virtual ~Ui() = default;

    virtual MessageResult messageBox(const QString &text, const QString &title,
                                     MessageButtons buttons = MessageButtons::Ok,
                                     MessageIcon icon = MessageIcon::None) = 0;
    // nullopt when the user cancelled.
    virtual std::optional<QString> inputBox(const QString &prompt, const QString &title,
                                            const QString &defaultText = QString()) = 0;
    // filter: "HTML files (*.htm *.html);;All files (*)"; nullopt when cancelled.
    virtual std::optional<QString> openFileName(const QString &caption, const QString &directory,
                                                const QString &filter = QString()) = 0;
    virtual std::optional<QString> saveFileName(const QString &caption, const QString &path,
                                                const QString &filter = QString()) = 0;
    virtual void beep() = 0;
    virtual void flashWindow(QWidget *window) = 0;
    // Runs once after ms unless context was destroyed first; returns an id for cancelTimer().
    virtual int singleShot(int ms, QObject *context, std::function<void()> action) = 0;
    virtual void cancelTimer(int id) = 0;
    virtual Qt::KeyboardModifiers keyboardModifiers() const = 0;
    virtual Qt::MouseButtons mouseButtons() const = 0;
    // A key that is not a modifier (the K key held while clicking): tracked from key events.
    virtual bool isKeyDown(int qtKey) const = 0;
};

class QtUi : public QObject, public Ui
{
    Q_OBJECT
public:
    // dialogParent: the window the dialogs belong to (may be null).
    explicit QtUi(QWidget *dialogParent = nullptr, QObject *parent = nullptr);
    ~QtUi() override;
    void setDialogParent(QWidget *parent);

    MessageResult messageBox(const QString &text, const QString &title, MessageButtons buttons,
                             MessageIcon icon) override;
    std::optional<QString> inputBox(const QString &prompt, const QString &title,
                                    const QString &defaultText) override;
    std::optional<QString> openFileName(const QString &caption, const QString &directory,
                                        const QString &filter) override;
    std::optional<QString> saveFileName(const QString &caption, const QString &path,
                                        const QString &filter) override;
    void beep() override;
    void flashWindow(QWidget *window) override;
    int singleShot(int ms, QObject *context, std::function<void()> action) override;
    void cancelTimer(int id) override;
    Qt::KeyboardModifiers keyboardModifiers() const override;
    Qt::MouseButtons mouseButtons() const override;
    bool isKeyDown(int qtKey) const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *dialogParent() const;
    struct Private;
    Private *d;
};
