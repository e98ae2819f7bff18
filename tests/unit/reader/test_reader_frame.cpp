#include "FakePlatform.h"
#include "TempProfile.h"
#include "frame/FrameReaderHost.h"
#include "frame/MDIForm1.h"
#include "reader/AppContext.h"
#include "reader/frmBrowser.h"
#include "store/CWinInet_URL.h"
#include "store/Stores.h"

#include <QAction>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTest>

// The pool inside the real main frame: windows in the document area, the Window menu's list,
// the menu commands and the close box.
class TestReaderFrame : public QObject
{
    Q_OBJECT

    struct Rig
    {
        Rig() : stores(ctx.errorLog)
        {
            const QString data = profile.file(QStringLiteral("data"));
            QDir().mkpath(data + QStringLiteral("/common"));
            OpenAllStores(stores, data, data + QStringLiteral("/common"));
            ctx.stores = &stores;
            ctx.gURL = &url;
            ctx.ui = &platform.ui;
            ctx.browsers = &platform.browsers;
            form = std::make_unique<MDIForm1>(ctx);
            host = std::make_unique<FrameReaderHost>(ctx, *form);
            reader = std::make_unique<Reader>(ctx, *host);
            ctx.reader = reader.get();
            ctx.mainForm = form.get();
            platform.web.setDefaultResponse(FakeResponse::page("<title>Doc</title>"));
            frmBrowser *zero = host->adoptWindow(0, platform.browsers.createControl());
            zero->InitializeForm(0, false);
            form->show();
        }
        ~Rig() { form->UnloadChildren(); }
        frmBrowser *window(int slot) const { return ctx.gBrowsers.value(slot); }
        QWidget *front() const
        {
            QMdiSubWindow *sub = form->mdiArea()->activeSubWindow();
            return sub ? sub->widget() : nullptr;
        }
        QStringList windowList() const
        {
            QStringList out;
            for (QAction *a : form->subMenu(QStringLiteral("mnuWindow"))->actions())
                if (a->objectName().startsWith(QLatin1String("mnuWindowList(")) && a->isVisible() &&
                    !a->isSeparator())
                    out << a->objectName();
            return out;
        }

        TempProfile profile;
        AppContext ctx;
        Stores stores;
        CWinInet_URL url;
        FakePlatform platform;
        std::unique_ptr<MDIForm1> form;
        std::unique_ptr<FrameReaderHost> host;
        std::unique_ptr<Reader> reader;
    };

private Q_SLOTS:
    void windowsCommandsAndList()
    {
        Rig rig;
        rig.reader->queue.LoadDocument(QStringLiteral("http://a.test/1"));
        rig.reader->queue.LoadDocument(QStringLiteral("http://a.test/2"));
        rig.platform.settle();
        // Background windows stay behind the one being read.
        QCOMPARE(rig.front(), static_cast<QWidget *>(rig.window(0)));
        QCOMPARE(rig.ctx.giCurrentWindow, 0);
        QCOMPARE(rig.windowList(),
                 (QStringList{"mnuWindowList(0)", "mnuWindowList(1)", "mnuWindowList(2)"}));
        QVERIFY(rig.host->windowListItem(1)->text().contains(QStringLiteral("Doc")));

        // Next Window from the Window menu.
        QAction *next = rig.form->subMenu("mnuWindow")->findChild<QAction *>("mnuNextDoc_Window");
        QVERIFY(next);
        next->trigger();
        QCOMPARE(rig.ctx.giCurrentWindow, 1);
        QCOMPARE(rig.front(), static_cast<QWidget *>(rig.window(1)));
        QCOMPARE(rig.form->StatusText(2), QStringLiteral("2 of 3"));
        QVERIFY(rig.host->windowListItem(1)->isChecked());
        QVERIFY(!rig.host->windowListItem(0)->isChecked());
        QCOMPARE(rig.ctx.gsWindowState.value(0), QStringLiteral("p"));

        // Choosing a window from the list; the frame's own activation reaches the pool too.
        rig.host->windowListItem(2)->trigger();
        QCOMPARE(rig.ctx.giCurrentWindow, 2);
        rig.form->mdiArea()->setActiveSubWindow(
            qobject_cast<QMdiSubWindow *>(rig.window(0)->parentWidget()));
        QCOMPARE(rig.ctx.giCurrentWindow, 0);
        QCOMPARE(rig.ctx.gsWindowState.value(1), QStringLiteral("f"));

        rig.form->menuItem(QStringLiteral("mnuKeepInMemory"))->trigger(); // keeps 0, goes on
        QVERIFY(rig.window(0)->bKeep);
        QVERIFY(rig.host->windowListItem(0)->font().bold());

        // The close box: the window goes once the event is over, with its list entry.
        const int closing = rig.ctx.giCurrentWindow;
        QVERIFY(closing != 0);
        rig.window(closing)->parentWidget()->close();
        QTRY_VERIFY(!rig.window(closing));
        QCOMPARE(rig.windowList().size(), 2);
        QCOMPARE(rig.ctx.giWindowsOpen, 2);

        rig.form->menuItem(QStringLiteral("mnuReport"))->trigger();
        rig.platform.settle();
        QCOMPARE(rig.window(rig.ctx.giCurrentWindow)->windowTitle(), SessionReport::kTitle());
    }
};

QTEST_MAIN(TestReaderFrame)
#include "test_reader_frame.moc"
