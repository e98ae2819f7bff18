#include "reader/cForm.h"

#include "platform/BrowserControl.h"
#include "platform/Ui.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"
#include "store/CWinInet_URL.h"
#include "store/Recordset.h"
#include "store/Stores.h"

#include <QRegularExpression>
#include <QSet>

namespace {

// The store's field name is 50 characters long: a longer name is filed under its first 50,
// which every lookup uses too.
constexpr int kNameSize = 50;

bool textLike(const QString &type)
{
    static const QSet<QString> kTypes = {QStringLiteral("text"),     QStringLiteral("password"),
                                         QStringLiteral("textarea"), QStringLiteral("email"),
                                         QStringLiteral("search"),   QStringLiteral("tel"),
                                         QStringLiteral("url"),      QStringLiteral("number")};
    return kTypes.contains(type.toLower());
}

} // namespace

QList<FormFill> FormValuesOf(const QList<FormInfo> &forms)
{
    QList<FormFill> out;
    auto keep = [&out](const QString &name, QChar type, const QString &value) {
        const QString key = name.left(kNameSize);
        for (FormFill &f : out) {
            if (f.name == key) {
                f.type = type;
                f.value = value;
                return;
            }
        }
        out.append({key, type, value});
    };
    for (const FormInfo &form : forms) {
        for (const FormField &field : form.fields) {
            if (field.name.isEmpty())
                continue;
            const QString type = field.type.toLower();
            if (textLike(type)) {
                if (!field.value.isEmpty())
                    keep(field.name, u't', field.value);
            } else if (type == QLatin1String("checkbox")) {
                keep(field.name, u'c',
                     field.checked ? QStringLiteral("True") : QStringLiteral("False"));
            } else if (type == QLatin1String("radio")) {
                if (field.checked)
                    keep(field.name, u'r', field.value);
            } else if (type.startsWith(QLatin1String("select"))) {
                for (const int index : field.selectedIndexes)
                    keep(field.name, u's', QString::number(index));
            }
        }
    }
    return out;
}

QString FormSiteKey(const QString &address)
{
    CWinInet_URL url;
    if (url.CrackUrl(address)) {
        const QString host = url.BaseHostName();
        if (!host.isEmpty())
            return host;
    }
    return address;
}

Recordset *cForm::store() const
{
    Stores *stores = m_reader.ctx.stores;
    if (!stores || !stores->rsForms.State())
        return nullptr;
    return &stores->rsForms;
}

bool cForm::saveValues(const QString &siteKey, const QList<FormFill> &values)
{
    Recordset *rs = store();
    if (!rs)
        return false;
    Recordset site = rs->Clone();
    const QString siteFilter = QStringLiteral("url = '%1'").arg(FilterText(siteKey));
    for (const FormFill &v : values) {
        if (!site.SetFilter(siteFilter))
            return false;
        const bool found =
            site.Find(QStringLiteral("fieldname = '%1'").arg(FilterText(v.name.left(kNameSize))));
        if (found) {
            site.SetField(QStringLiteral("fieldtype"), QString(v.type));
            site.SetField(QStringLiteral("fieldvalue"), v.value);
            site.Update();
        } else if (!site.AddNew({QStringLiteral("url"), QStringLiteral("fieldtype"),
                                 QStringLiteral("fieldname"), QStringLiteral("fieldvalue")},
                                {siteKey, QString(v.type), v.name.left(kNameSize), v.value})) {
            return false;
        }
    }
    site.ClearFilter();
    return site.Save();
}

QList<FormFill> cForm::savedValues(const QString &siteKey)
{
    QList<FormFill> out;
    Recordset *rs = store();
    if (!rs)
        return out;
    Recordset site = rs->Clone();
    if (!site.SetFilter(QStringLiteral("url = '%1'").arg(FilterText(siteKey))) ||
        !site.SetSort(QStringLiteral("fieldname")))
        return out;
    QSet<QString> seen;
    for (; !site.isEOF(); site.MoveNext()) {
        const QString name = site.Field(QStringLiteral("fieldname")).toString();
        const QString type = site.Field(QStringLiteral("fieldtype")).toString();
        if (name.isEmpty() || type.isEmpty() || seen.contains(name))
            continue;
        seen.insert(name);
        out.append({name, type.at(0), site.Field(QStringLiteral("fieldvalue")).toString()});
    }
    return out;
}

void cForm::SaveForm(DocumentWindow &w)
{
    if (!w.brwWebBrowser)
        return;
    const QString key = FormSiteKey(w.brwWebBrowser->document().snapshot().url.toString());
    // The reader, and so this object, outlives every window's control and its queries.
    w.brwWebBrowser->document().queryForms([this, key](const QList<FormInfo> &forms) {
        const bool saved = saveValues(key, FormValuesOf(forms));
        if (m_reader.ctx.ui)
            m_reader.ctx.ui->beep();
        m_reader.host.setStatusText(3, saved ? QStringLiteral("Form data saved.")
                                             : QStringLiteral("Form data could not be saved."));
    });
}

void cForm::FillForm(DocumentWindow &w)
{
    if (!w.brwWebBrowser)
        return;
    const QList<FormFill> values =
        savedValues(FormSiteKey(w.brwWebBrowser->document().snapshot().url.toString()));
    if (!values.isEmpty())
        w.brwWebBrowser->document().fillForms(values);
}

void cForm::ResetForms(DocumentWindow &w)
{
    if (w.brwWebBrowser)
        w.brwWebBrowser->document().resetForms();
}
