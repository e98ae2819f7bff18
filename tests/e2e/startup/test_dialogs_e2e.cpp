#include "../reader/EngineRig.h"

#include "startup/OpenURL.h"
#include "startup/Options.h"
#include "startup/Settings.h"

#include <QApplication>
#include <QPointer>
#include <QTest>

using namespace WebHarness;

namespace {

QString script(BrowserControl *c, const QString &js)
{
    return runScript(*static_cast<WebEngineControl *>(c), js, QWebEngineScript::MainWorld)
        .toString();
}

WebEngineControl &engine(PageDialog *d)
{
    return *static_cast<WebEngineControl *>(d->control());
}

// Dialogs left open by a failed check go before the rig they point into.
struct CloseDialogs
{
    QWidget &frame;
    ~CloseDialogs() { qDeleteAll(frame.findChildren<PageDialog *>()); }
};

const QString kNews = QStringLiteral("http://www.news.com/");

} // namespace

// The options and Open-URL dialogs on the real engine, over a reader with engine windows.
class TestDialogsE2E : public QObject
{
    Q_OBJECT

    HttpFixture m_http;
    std::unique_ptr<WebEnginePlatform> m_platform;
    QWidget m_frame;

    // Fills the page's fields by script, then closes the dialog with a real Esc.
    bool setAndEscape(Options *dialog, const QString &js)
    {
        QPointer<Options> d(dialog);
        if (!waitFor([&] { return d && d->isReady(); }))
            return false;
        script(d->control(), js + QStringLiteral("; 1"));
        focusControl(engine(d));
        pressKey(engine(d), Qt::Key_Escape);
        return waitFor([&] { return !d; });
    }

    bool typeAndEnter(OpenURL *d, const QString &text)
    {
        focusControl(engine(d));
        if (!waitFor(
                [&] { return script(d->control(), "document.activeElement.id") == "urltext"; }))
            return false;
        typeText(engine(d), text);
        pressKey(engine(d), Qt::Key_Return);
        return true;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_http.isListening());
        m_http.addHtml(QStringLiteral("/b.htm"), QStringLiteral("B"), QStringLiteral("b"));
        m_http.addHtml(QStringLiteral("/c.htm"), QStringLiteral("C"), QStringLiteral("c"));

        m_http.addHtml(QStringLiteral("/a.htm"), QStringLiteral("A"), QStringLiteral("a"));
        // Typed names reach the fixture, and nothing else.
        m_http.answerEveryHost();
        m_http.addHtml(kNews, QStringLiteral("News"), QStringLiteral("news"));
        m_platform = createPlatform();
        m_frame.resize(900, 700);
        m_frame.show();
    }

    void optionsSavedOnEsc()
    {
        TempProfile profile;
        const QString data = profile.file(QStringLiteral("data"));
        EngineRig rig(*m_platform, data);
        rig.ctx.browsers = m_platform.get();
        rig.ctx.reader = &rig.reader;
        CloseDialogs closer{m_frame};
        OpenHistoryStore(rig.stores);
        QVERIFY(rig.stores.rsHistory.Save());
        const QString historyFile = rig.stores.gsHistoryFile;
        QVERIFY(QFile::exists(historyFile));
        LoadSettings(rig.ctx, rig.file);
        (void)rig.reader.queue.LoadDocument(m_http.url("/a.htm").toString(), LoadWhere::Here);
        (void)rig.reader.queue.LoadDocument(m_http.url("/b.htm").toString(), LoadWhere::Background);
        QVERIFY(waitFor([&] { return rig.count(QStringLiteral("bLoaded = 1")) == 2; }));
        const auto bodyZooms = [&] {
            QStringList z;
            for (int slot : {0, 1})
                z << script(rig.host.controls.at(slot).get(), "document.body.style.zoom");
            return z.join(' ');
        };

        QVERIFY(setAndEscape(Options::Show(rig.ctx, &m_frame),
                             "T2.value='2'; T4.value='0.3'; T3.value='1.5'; C3.click()"));
        QCOMPARE(rig.file.GetOption("MaxWindows").toInt(), 4);
        QCOMPARE(rig.ctx.giMaxWindows, 4);
        QCOMPARE(rig.file.GetOption("TempZoomSetting").toFloat(), 1.0f);
        QCOMPARE(rig.file.GetOption("PageZoom").toFloat(), 1.5f);
        QVERIFY2(waitFor([&] { return bodyZooms() == QLatin1String("150% 150%"); }),
                 qPrintable(bodyZooms()));
        // History off: the store closes and its file goes at once.
        QVERIFY(!rig.ctx.gbOptBit4 && !rig.stores.rsHistory.State());
        QVERIFY(!QFile::exists(historyFile));
        QVERIFY(rig.ui.messages().isEmpty());
        // Not a number: the user is told. 1 means no zoom, which leaves the windows. (What is
        // stored of each value, and read at the next start, is the unit test's.)
        QVERIFY(setAndEscape(Options::Show(rig.ctx, &m_frame),
                             "T2.value='abc'; T4.value=''; T3.value='1'; C3.click()"));
        QVERIFY(waitFor([&] { return bodyZooms() == QLatin1String(" "); }));
        QVERIFY(waitFor([&] { return !rig.ui.messages().isEmpty(); }));
        QVERIFY2(rig.ui.messages().constFirst().text.contains("was not changed: \"abc\""),
                 qPrintable(rig.ui.messages().constFirst().text));
        // History on again: an empty one.
        QVERIFY(rig.stores.rsHistory.State());
        QCOMPARE(rig.stores.rsHistory.RecordCount(), 0);
    }

    void openUrlAndGroupName()
    {
        TempProfile profile;
        EngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        rig.ctx.browsers = m_platform.get();
        rig.ctx.reader = &rig.reader;
        CloseDialogs closer{m_frame};
        rig.ctx.LoadDocument = [&](const QString &url, LoadWhere where) {
            (void)rig.reader.queue.LoadDocument(url, where);
        };
        QPointer<OpenURL> d = OpenURL::Show(rig.ctx, OpenURL::OpenAddress, &m_frame);
        QVERIFY(waitFor([&] { return d->isReady(); }));
        QCOMPARE(d->windowTitle(), QStringLiteral("Open URL"));
        QVERIFY(rig.ctx.gbTextEntry);
        const int current = rig.ctx.giCurrentWindow;

        QVERIFY(typeAndEnter(d, QStringLiteral("news")));
        // The machine has no network: that the window goes to the address is what counts.
        const auto navigated = [&](const QString &url) {
            for (const auto &[slot, c] : rig.host.controls)
                if (c->locationUrl().toString() == url)
                    return true;
            return false;
        };
        QVERIFY(waitFor([&] { return navigated(kNews); }));
        QCOMPARE(rig.records(), QStringList{kNews});
        QVERIFY(d && d->isVisible());
        QVERIFY(waitFor([&] { return script(d->control(), "urltext.value").isEmpty(); }));

        // Refused addresses say so; X only types.
        QVERIFY(typeAndEnter(d, QStringLiteral("javascript:alert(1)")));
        QVERIFY(waitFor(
            [&] { return script(d->control(), "message.textContent").contains("not run"); }));
        script(d->control(), "urltext.value=''; 1");
        typeText(engine(d), QStringLiteral("x"));
        QVERIFY(
            waitFor([&] { return script(d->control(), "urltext.value") == QLatin1String("x"); }));
        QCOMPARE(rig.ctx.giCurrentWindow, current);
        script(d->control(), "urltext.value=''; 1");

        QVERIFY(typeAndEnter(d, m_http.url("/c.htm").toString()));
        QVERIFY(waitFor([&] { return m_http.requestCount(QStringLiteral("/c.htm")) == 1; }));
        QCOMPARE(rig.records(), QStringList({kNews, m_http.url("/c.htm").toString()}));
        pressKey(engine(d), Qt::Key_Escape);
        QVERIFY(waitFor([&] { return !d; }));
        QVERIFY(!rig.ctx.gbTextEntry);

        // A group's name, then a cancelled one.
        QStringList answers;
        for (const QString &keys : {QStringLiteral("Reading"), QString()}) {
            QPointer<OpenURL> g = OpenURL::Show(rig.ctx, OpenURL::GroupName, &m_frame,
                                                [&](const QString &name) { answers << name; });
            QVERIFY(waitFor([&] { return g->isReady(); }));
            QCOMPARE(g->windowTitle(), QStringLiteral("Enter Group Name"));
            focusControl(engine(g));
            if (keys.isEmpty()) {
                typeText(engine(g), QStringLiteral("dropped"));
                pressKey(engine(g), Qt::Key_Escape);
            } else {
                QVERIFY(typeAndEnter(g, keys));
            }
            QVERIFY(waitFor([&] { return !g; }));
        }
        QCOMPARE(answers, QStringList({QStringLiteral("Reading"), QString()}));
    }
};

SKL_WEB_TEST_MAIN(TestDialogsE2E)
#include "test_dialogs_e2e.moc"
