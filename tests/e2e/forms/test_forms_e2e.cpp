#include "EngineRig.h"

#include "store/Recordset.h"
#include "store/Stores.h"

#include <QFileInfo>
#include <QTest>

using namespace WebHarness;

namespace {

// Every kind of field, one name with an apostrophe, and a frame of the same site with a field
// of its own. The page's script plays the user: it fills the fields once loaded.
const QString kFields =
    QStringLiteral("<form><input name=\"it's\" value=''><textarea name=notes></textarea>"
                   "<input type=checkbox name=agree><input type=radio name=size value=s>"
                   "<input type=radio name=size value=l><select name=color><option>red<option>green"
                   "<option>blue</select><input type=password name=pw><input name=blank></form>");
const QString kFrameField = QStringLiteral("<form><input name=inframe></form>");

QMap<QString, FormField> fieldsOf(Document &doc)
{
    QMap<QString, FormField> out;
    bool done = false;
    doc.queryForms([&](const QList<FormInfo> &forms) {
        for (const FormInfo &f : forms)
            for (const FormField &field : f.fields)
                if (field.type != QLatin1String("radio") || field.checked)
                    out.insert(field.name, field);
        done = true;
    });
    waitFor([&] { return done; });
    return out;
}

} // namespace

class TestFormsE2E : public QObject
{
    Q_OBJECT

    std::unique_ptr<WebEnginePlatform> m_platform;

private Q_SLOTS:
    void initTestCase() { m_platform = createPlatform(); }
    void cleanupTestCase() { m_platform.reset(); }

    // Saved on one page of a site, filled into another page of it, the frame's field too.
    void saveThenFillOnAnotherPage()
    {
        HttpFixture http;
        http.addHtml(QStringLiteral("/frame.htm"), QStringLiteral("F"),
                     kFrameField + QStringLiteral("<script>document.forms[0].inframe.value="
                                                  "'framed'</script>"));
        http.addHtml(QStringLiteral("/a.htm"), QStringLiteral("A"),
                     kFields +
                         QStringLiteral("<iframe src=/frame.htm></iframe><script>"
                                        "const f=document.forms[0]; f[\"it's\"].value='O\\'Brien';"
                                        "f.notes.value='line 1\\nline 2'; f.agree.checked=true;"
                                        "f.size[1].checked=true; f.color.selectedIndex=2;"
                                        "f.pw.value='secret';</script>"));
        http.addHtml(QStringLiteral("/b.htm"), QStringLiteral("B"),
                     kFields + QStringLiteral("<iframe src=/frame2.htm></iframe>"));
        http.addHtml(QStringLiteral("/frame2.htm"), QStringLiteral("F"), kFrameField);
        TempProfile profile;
        EngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        DocumentWindow *w = rig.window(0);
        QVERIFY(w && w->brwWebBrowser);
        Document &doc = w->brwWebBrowser->document();

        (void)w->brwWebBrowser->navigate(http.url(QStringLiteral("/a.htm")));
        QVERIFY(waitFor([&] {
            return fieldsOf(doc).value(QStringLiteral("inframe")).value == QLatin1String("framed");
        }));
        rig.reader.form.SaveForm(*w);
        QVERIFY(waitFor([&] { return rig.host.status.value(3).startsWith("Form data"); }));
        QCOMPARE(rig.host.status.value(3), QStringLiteral("Form data saved."));

        Recordset &rs = rig.stores.rsForms;
        // One record per named field, the frame's too (their texts are the unit test's); what
        // they hold comes back below.
        QCOMPARE(rs.RecordCount(), 7);
        const QFileDevice::Permissions mode = QFileInfo(rs.path()).permissions();
        QVERIFY(mode.testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QVERIFY(!(mode & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                          QFileDevice::WriteGroup | QFileDevice::WriteOther)));

        (void)w->brwWebBrowser->navigate(http.url(QStringLiteral("/b.htm")));
        QVERIFY(waitFor([&] {
            return doc.snapshot().url.path() == QLatin1String("/b.htm") &&
                   fieldsOf(doc).contains(QStringLiteral("inframe"));
        }));
        rig.reader.form.FillForm(*w);
        QMap<QString, FormField> filled;
        QVERIFY(waitFor([&] {
            filled = fieldsOf(doc);
            return filled.value(QStringLiteral("inframe")).value == QLatin1String("framed");
        }));
        QCOMPARE(filled.value("it's").value, QStringLiteral("O'Brien"));
        QCOMPARE(filled.value("notes").value, QStringLiteral("line 1\nline 2"));
        QVERIFY(filled.value("agree").checked);
        QCOMPARE(filled.value("size").value, QStringLiteral("l"));
        QCOMPARE(filled.value("color").selectedIndexes, QList<int>{2});
        QCOMPARE(filled.value("pw").value, QStringLiteral("secret"));

        // The forms' own reset brings back what the page came with.
        rig.reader.form.ResetForms(*w);
        QVERIFY(waitFor([&] { return fieldsOf(doc).value("it's").value.isEmpty(); }));
        QVERIFY(!fieldsOf(doc).value("agree").checked);
        QVERIFY(fieldsOf(doc).value("inframe").value.isEmpty());
    }
};

QTEST_MAIN(TestFormsE2E)
#include "test_forms_e2e.moc"
