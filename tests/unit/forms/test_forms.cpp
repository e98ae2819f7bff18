#include "ReaderRig.h"

#include "frame/FormData.h"
#include "reader/cForm.h"
#include "startup/frmEditor.h"
#include "store/Recordset.h"
#include "store/cFile.h"

#include <QFileInfo>
#include <QTest>

namespace {

FormField field(const QString &type, const QString &name, const QString &value,
                bool checked = false, QList<int> selected = {})
{
    return {QStringLiteral("INPUT"), type, name, QString(), value, checked, selected};
}

QString shown(const QList<FormFill> &values)
{
    QStringList out;
    for (const FormFill &v : values)
        out << v.name + u':' + v.type + u'=' + v.value;
    return out.join(u' ');
}

} // namespace

class TestForms : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What a page's fields give to keep, by their types.
    void valuesOfFields()
    {
        FormInfo form;
        form.fields = {field("text", "empty", ""),
                       field("text", "", "nameless"),
                       field("EMAIL", "mail", "a@b.test"),
                       field("checkbox", "off", "on", false),
                       field("radio", "size", "s", false),
                       field("radio", "size", "l", true),
                       field("select-multiple", "colors", "", false, {0, 2}),
                       field("submit", "go", "Go"),
                       field("text", "dup", "first"),
                       field("textarea", "dup", "second")};
        QCOMPARE(shown(FormValuesOf({form})),
                 QStringLiteral("mail:t=a@b.test off:c=False size:r=l colors:s=2 dup:t=second"));
        QCOMPARE(FormSiteKey("http://www.news.test/a/b.htm"), QStringLiteral("news.test"));
        QCOMPARE(FormSiteKey("file:///home/u/page.htm"), QStringLiteral("file:///home/u/page.htm"));
    }

    // One record per site and name: a second save overwrites, other sites keep theirs, quotes
    // and long names do not break the lookups.
    void recordsPerSiteAndName()
    {
        ReaderRig rig;
        cForm &form = rig.reader.form;
        const QString longName = QString(60, u'n');
        QVERIFY(form.saveValues("o'site.test", {{"it's", u't', "1"}, {longName, u't', "a"}}));
        QVERIFY(form.saveValues("o'site.test", {{"it's", u't', "2"}, {longName, u't', "b"}}));
        QVERIFY(form.saveValues("other.test", {{"it's", u'c', "True"}}));
        QCOMPARE(rig.stores.rsForms.RecordCount(), 3);
        QCOMPARE(shown(form.savedValues("o'site.test")),
                 QStringLiteral("it's:t=2 ") + longName.left(50) + QStringLiteral(":t=b"));
        QCOMPARE(shown(form.savedValues("other.test")), QStringLiteral("it's:c=True"));
        QVERIFY(form.savedValues("none.test").isEmpty());
    }

    // The snippets file: indexes keep the line numbers, captions are cut, whole lines inserted;
    // the editor's text is written with CR LF, UTF-16, for the owner only.
    void snippets()
    {
        const QString longLine = QString(90, u'x');
        const QList<FormDataSnippet> list =
            FormDataSnippets(QStringLiteral("  first \r\n\r\n") + longLine + "\r\n  \r\nlast");
        QCOMPARE(list.size(), 3);
        QCOMPARE(list[0].index, 3);
        QCOMPARE(list[0].text, QStringLiteral("first"));
        QCOMPARE(list[1].index, 5);
        QCOMPARE(list[1].caption, longLine.left(80));
        QCOMPARE(list[1].text, longLine);
        QCOMPARE(list[2].index, 7);

        const QString text = frmEditor::FileText("a\nb\r\nc");
        QCOMPARE(text, QStringLiteral("a\r\nb\r\nc"));
        TempProfile dir;
        const QString path = dir.file("FormData.txt");
        cFile file;
        QVERIFY(file.WriteVariableToFile(text, path, true));
        QCOMPARE(file.ReadFileToVariable(path), text);
        QFile raw(path);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        QVERIFY(raw.read(4) == QByteArray("\xFF\xFE"
                                          "a\0",
                                          4));
        QCOMPARE(QFileInfo(path).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
                 QFileDevice::Permissions());
    }
};

QTEST_GUILESS_MAIN(TestForms)
#include "test_forms.moc"
