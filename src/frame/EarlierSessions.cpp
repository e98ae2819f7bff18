#include "frame/EarlierSessions.h"

#include "reader/SessionLog.h"
#include "store/Recordset.h"
#include "store/Stores.h"

#include <QAction>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>
#include <QRegularExpression>

QList<EarlierSession> EarlierSessions(const Stores &stores)
{
    static const QRegularExpression stamp(QStringLiteral("-(\\d{8}-\\d{6})(-\\d+)?$"));
    QList<EarlierSession> out;
    for (const QString &file : PastSessionCopies(stores)) {
        EarlierSession s;
        s.file = file;
        const QRegularExpressionMatch m = stamp.match(QFileInfo(file).completeBaseName());
        if (m.hasMatch())
            s.ended = QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMdd-HHmmss"));
        if (!s.ended.isValid())
            s.ended = QFileInfo(file).lastModified();
        if (auto rs = Recordset::Open(file)) {
            for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
                s.pages += rs->Field(QStringLiteral("URL")).toString().isEmpty() ? 0 : 1;
            rs->Close();
        }
        out << s;
    }
    return out;
}

QString EarlierSessionCaption(const EarlierSession &session)
{
    const QLocale c = QLocale::c();
    return c.toString(session.ended, QStringLiteral("ddd MMM d HH:mm")) +
           QStringLiteral(" \u2014 ") + QString::number(session.pages) +
           (session.pages == 1 ? QStringLiteral(" page") : QStringLiteral(" pages"));
}

void FillEarlierSessionsMenu(QMenu &menu, const Stores &stores,
                             const std::function<void(const QString &, int)> &load)
{
    // The old entries may be the ones whose action is running: they go once it is over.
    for (QAction *a : menu.actions()) {
        menu.removeAction(a);
        if (QMenu *sub = a->menu())
            sub->deleteLater();
        else
            a->deleteLater();
    }
    const QList<EarlierSession> sessions = EarlierSessions(stores);
    for (int i = 0; i < sessions.size(); ++i) {
        QMenu *entry = menu.addMenu(EarlierSessionCaption(sessions.at(i)));
        entry->setObjectName(QStringLiteral("mnuOL_EarlierSession(%1)").arg(i));
        const QString file = sessions.at(i).file;
        const struct
        {
            const char *caption;
            int index;
        } commands[] = {{"All Pages", 0}, {"Unread Pages", 1}};
        for (const auto &command : commands) {
            QAction *a = entry->addAction(QString::fromLatin1(command.caption));
            a->setObjectName(
                QStringLiteral("mnuOL_EarlierSession(%1,%2)").arg(i).arg(command.index));
            const int index = command.index;
            QObject::connect(a, &QAction::triggered, &menu,
                             [load, file, index] { load(file, index); });
        }
    }
    menu.menuAction()->setEnabled(!sessions.isEmpty());
}
