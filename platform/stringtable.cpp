#include "platform/stringtable.h"

#include <QFile>
#include <QHash>

#include <climits>

namespace {

QHash<int, QString> ParseTable(const QByteArray& utf8Text)
{
    QHash<int, QString> table;
    const QString text = QString::fromUtf8(utf8Text);
    for (QStringView line : QStringView(text).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype tab = line.indexOf(u'\t');
        if (tab <= 0)
            continue;
        bool ok = false;
        const int id = line.left(tab).toInt(&ok);
        if (ok)
            table.insert(id, line.mid(tab + 1).toString());
    }
    return table;
}

QHash<int, QString>& Table()
{
    static QHash<int, QString> table = [] {
        QFile file(QStringLiteral(":/strings.txt"));
        if (!file.open(QIODevice::ReadOnly))
            return QHash<int, QString>();
        return ParseTable(file.readAll());
    }();
    return table;
}

} // namespace

QString LoadString(int id)
{
    return Table().value(id);
}

int ReadLeadingInt(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > INT_MAX)
            return negative ? INT_MIN : INT_MAX; // saturate like the runtime does
    }
    return int(negative ? -value : value);
}

void ParseLayoutRect(QStringView text, int& x, int& y, int& w, int& h)
{
    int* const first[] = {&x, &y, &w};
    for (int* value : first) {
        const qsizetype comma = text.indexOf(u',');
        if (comma < 0) {
            *value = 0;
            continue;
        }
        *value = ReadLeadingInt(text.left(comma));
        text = text.mid(comma + 1);
    }
    h = ReadLeadingInt(text);
}

bool GetLayoutRect(int id, int& x, int& y, int& w, int& h)
{
    const QString entry = LoadString(id);
    if (entry.isEmpty())
        return false;
    ParseLayoutRect(entry, x, y, w, h);
    return true;
}

void LoadStringTableForTest(const QByteArray& utf8Text)
{
    Table() = ParseTable(utf8Text);
}
