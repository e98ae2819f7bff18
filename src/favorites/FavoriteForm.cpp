#include "favorites/FavoriteForm.h"

#include "platform/Document.h"
#include "store/DateValue.h"
#include "store/Recordset.h"

namespace {

const QString kText[] = {QStringLiteral("Keywords"),    QStringLiteral("Title"),
                         QStringLiteral("URL"),         QStringLiteral("Description"),
                         QStringLiteral("DocKeywords"), QStringLiteral("Notes")};
const QString kTextIds[] = {QStringLiteral("keywords"),    QStringLiteral("title"),
                            QStringLiteral("url"),         QStringLiteral("description"),
                            QStringLiteral("dockeywords"), QStringLiteral("notes")};

std::array<QString *, 6> textFields(FavoriteFormValues &f)
{
    return {&f.keywords, &f.title, &f.url, &f.description, &f.docKeywords, &f.notes};
}

template <std::size_t N> int bitsOf(const std::array<bool, N> &boxes)
{
    int sum = 0;
    for (std::size_t i = 0; i < N; ++i)
        sum |= boxes[i] ? 1 << i : 0;
    return sum;
}

template <std::size_t N> std::array<bool, N> boxesOf(int bits)
{
    std::array<bool, N> boxes{};
    for (std::size_t i = 0; i < N; ++i)
        boxes[i] = bits & (1 << i);
    return boxes;
}

QString boxId(const char *prefix, std::size_t i)
{
    return QLatin1String(prefix) + QString::number(i);
}

QString dateText(const QVariant &v)
{
    return v.isValid() ? DateValue::formatGeneral(v.toDouble()) : QString();
}

} // namespace

QString PostDataText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

QByteArray PostDataBytes(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() < 256)
            out.append(char(c.unicode()));
        else
            out.append(QString(c).toUtf8());
    }
    return out;
}

FavoriteFormValues FormFromRecord(const Recordset &rs)
{
    FavoriteFormValues f;
    const auto text = textFields(f);
    for (std::size_t i = 0; i < text.size(); ++i)
        *text[i] = rs.Field(kText[i]).toString();
    f.postData = PostDataText(rs.Field(QStringLiteral("PostData")).toByteArray());
    f.period = rs.Field(QStringLiteral("Period")).toInt();
    f.days = boxesOf<7>(rs.Field(QStringLiteral("DayOfWeek")).toInt());
    f.weeks = boxesOf<4>(rs.Field(QStringLiteral("WeekOfMonth")).toInt());
    const int flags = rs.Field(QStringLiteral("bfFav")).toInt();
    f.quickLink = flags & 1;
    f.feed = flags & 2;
    f.headers = rs.Field(QStringLiteral("Headers")).toString();
    f.extra = rs.Field(QStringLiteral("Extra")).toString();
    return f;
}

QStringList WriteFormToRecord(const FavoriteFormValues &form, Recordset &rs)
{
    QStringList refused;
    const auto set = [&](const QString &field, const QVariant &value) {
        if (!rs.SetField(field, value))
            refused << field + QStringLiteral(": ") + rs.lastError();
    };
    FavoriteFormValues f = form;
    const auto text = textFields(f);
    for (std::size_t i = 0; i < text.size(); ++i)
        set(kText[i], *text[i]);
    const QByteArray post = PostDataBytes(form.postData);
    set(QStringLiteral("PostData"), post.isEmpty() ? QVariant() : QVariant(post));
    set(QStringLiteral("Headers"), form.headers);
    set(QStringLiteral("Extra"), form.extra);
    set(QStringLiteral("Period"), form.period);
    set(QStringLiteral("DayOfWeek"), bitsOf(form.days));
    set(QStringLiteral("WeekOfMonth"), bitsOf(form.weeks));
    set(QStringLiteral("bfFav"), (form.quickLink ? 1 : 0) + (form.feed ? 2 : 0));
    return refused;
}

QString AdditionalInfoHtml(const Recordset &rs)
{
    const QVariant accesses = rs.Field(QStringLiteral("Accesses"));
    return QStringLiteral("Date Created: <b>") +
           dateText(rs.Field(QStringLiteral("DateCreated"))).toHtmlEscaped() +
           QStringLiteral("</b><br>Last Download: <b>") +
           dateText(rs.Field(QStringLiteral("DateAccessed"))).toHtmlEscaped() +
           QStringLiteral("</b><br>Downloads: <b>") +
           (accesses.isValid() ? accesses.toString().toHtmlEscaped() : QString()) +
           QStringLiteral("</b>");
}

FavoriteFormValues FormFromPage(const QList<ElementSnapshot> &fields)
{
    FavoriteFormValues f;
    const auto text = textFields(f);
    bool periodFound = false;
    for (const ElementSnapshot &e : fields) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (e.id == kTextIds[i])
                *text[i] = e.value;
        }
        if (e.id == QLatin1String("postdata"))
            f.postData = e.value;
        for (std::size_t i = 0; i < 4; ++i) {
            if (e.id == boxId("pr", i) && e.checked && !periodFound) {
                f.period = int(i);
                periodFound = true;
            }
            if (e.id == boxId("wm", i))
                f.weeks[i] = e.checked;
        }
        for (std::size_t i = 0; i < 7; ++i) {
            if (e.id == boxId("dw", i))
                f.days[i] = e.checked;
        }
        if (e.id == QLatin1String("ap0"))
            f.quickLink = e.checked;
        if (e.id == QLatin1String("ap1"))
            f.feed = e.checked;
    }
    return f;
}

void WriteFormToPage(const FavoriteFormValues &form, Document &page)
{
    FavoriteFormValues f = form;
    const auto text = textFields(f);
    for (std::size_t i = 0; i < text.size(); ++i)
        page.setValue(kTextIds[i], *text[i]);
    page.setValue(QStringLiteral("postdata"), f.postData);
    for (std::size_t i = 0; i < 4; ++i) {
        page.setChecked(boxId("pr", i), int(i) == f.period);
        page.setChecked(boxId("wm", i), f.weeks[i]);
    }
    for (std::size_t i = 0; i < 7; ++i)
        page.setChecked(boxId("dw", i), f.days[i]);
    page.setChecked(QStringLiteral("ap0"), f.quickLink);
    page.setChecked(QStringLiteral("ap1"), f.feed);
}
