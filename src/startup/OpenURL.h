#pragma once

#include "startup/PageDialog.h"

#include <functional>
#include <optional>

// An address typed into the dialog as it is passed to the loader: a single word without "."
// or ":" becomes "http://www." + word + ".com/"; anything else stays as typed (trimmed).
QString CompleteTypedUrl(const QString &text);
// Why the loader would refuse a typed address (a script, a command link, the program's own
// pages), as a message for the user; nullopt when it is a page address.
std::optional<QString> RefusedTypedUrl(const QString &address);

// OpenURL.htm in one of two modes: typing addresses to open (the dialog stays open for more)
// or typing the name of a window group.
class OpenURL : public PageDialog
{
    Q_OBJECT
public:
    enum Mode { OpenAddress = 1, GroupName = 2 };
    using Answer = std::function<void(const QString &name)>;

    // groupNameAnswer (mode 2) gets the typed name, or "" when the dialog was cancelled.
    OpenURL(AppContext &ctx, Mode mode, QWidget *parent, Answer groupNameAnswer = {});
    ~OpenURL() override;

    static OpenURL *Show(AppContext &ctx, Mode mode, QWidget *parent, Answer groupNameAnswer = {});

    void OpenTypedUrl(const QString &text);

protected:
    void pageComplete(Document &doc) override;
    void domEvent(const DomEvent &event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override { close(); }

private:
    void ok(const QString &text);
    void Form_Unload();

    Mode m_mode;
    Answer m_answer;
    bool m_unloaded = false;
};
