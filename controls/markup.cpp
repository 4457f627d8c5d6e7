#include "controls/markup.h"

#include <iterator>

namespace Markup
{

namespace
{

constexpr Entity kEntities[] = {
    {u"&amp;", u'&'},      {u"&bull;", 0x2022},   {u"&cent;", 0x00A2},   {u"&copy;", 0x00A9},
    {u"&deg;", 0x00B0},    {u"&euro;", 0x20AC},   {u"&frac12;", 0x00BD}, {u"&frac14;", 0x00BC},
    {u"&gt;", u'>'},       {u"&iquest;", 0x00BF}, {u"&lt;", u'<'},       {u"&micro;", 0x00B5},
    {u"&middot;", 0x00B7}, {u"&nbsp;", u' '},     {u"&para;", 0x00B6},   {u"&plusmn;", 0x00B1},
    {u"&pound;", 0x00A3},  {u"&quot;", u'"'},     {u"&reg;", 0x00AE},    {u"&sect;", 0x00A7},
    {u"&sup1;", 0x00B9},   {u"&sup2;", 0x00B2},   {u"&times;", 0x00D7},  {u"&trade;", 0x2122},
};
static_assert(std::size(kEntities) == 24);

struct SimpleTag {
    const char16_t* text;
    Tag tag;
};

constexpr SimpleTag kSimpleTags[] = {
    {u"<B>", Tag::Bold},           {u"</B>", Tag::EndBold},
    {u"<I>", Tag::Italic},         {u"</I>", Tag::EndItalic},
    {u"<U>", Tag::Underline},      {u"</U>", Tag::EndUnderline},
    {u"<STRIKE>", Tag::StrikeOut}, {u"</STRIKE>", Tag::EndStrikeOut},
    {u"<CENTER>", Tag::Center},    {u"</CENTER>", Tag::EndCenter},
    {u"<BIG>", Tag::Big},          {u"</BIG>", Tag::EndBig},
    {u"<SMALL>", Tag::Small},      {u"</SMALL>", Tag::EndSmall},
    {u"<SUB>", Tag::Subscript},    {u"</SUB>", Tag::EndSubscript},
    {u"<SUP>", Tag::Superscript},  {u"</SUP>", Tag::EndSuperscript},
    {u"</FONT>", Tag::EndFont},    {u"<CODE>", Tag::Code},
    {u"</CODE>", Tag::EndCode},    {u"</A>", Tag::EndAnchor},
    {u"<BR>", Tag::Break},
};

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

QList<Attribute> ParseAttributes(QStringView content)
{
    QList<Attribute> attributes;
    qsizetype i = 0;
    const qsizetype n = content.size();
    while (i < n) {
        while (i < n && IsBlank(content[i]))
            ++i;
        if (i >= n)
            break;
        const qsizetype nameStart = i;
        while (i < n && !IsBlank(content[i]) && content[i] != u'=')
            ++i;
        Attribute attribute;
        attribute.name = content.mid(nameStart, i - nameStart).toString().toUpper();
        while (i < n && IsBlank(content[i]))
            ++i;
        if (i < n && content[i] == u'=') {
            ++i;
            while (i < n && IsBlank(content[i]))
                ++i;
            const qsizetype valueStart = i;
            if (i < n && content[i] == u'"') {
                const qsizetype close = content.indexOf(u'"', i + 1);
                const qsizetype end = close < 0 ? n : close;
                attribute.value = content.mid(i + 1, end - i - 1).toString();
                i = close < 0 ? n : close + 1;
            } else {
                while (i < n && !IsBlank(content[i]))
                    ++i;
                attribute.value = content.mid(valueStart, i - valueStart).toString();
            }
            attribute.raw = content.mid(valueStart, i - valueStart).toString();
        }
        if (!attribute.name.isEmpty())
            attributes.append(attribute);
    }
    return attributes;
}

// The next ">" at or after a position that only moves forward. Searching afresh from every
// "<A " of a text without any ">" would take time quadratic in its length.
class CCloseFinder
{
public:
    explicit CCloseFinder(QStringView text) : m_text(text) {}

    qsizetype From(qsizetype position)
    {
        if (m_known && (m_at < 0 || m_at >= position))
            return m_at;
        m_at = m_text.indexOf(u'>', position);
        m_known = true;
        return m_at;
    }

private:
    QStringView m_text;
    bool m_known = false;
    qsizetype m_at = -1;
};

// "<FONT", "<HR" and "<A" carry attributes up to the next ">"; returns the length matched, or 0.
// `text` starts at `start` of the finder's text.
qsizetype MatchAttributeTag(QStringView text, qsizetype start, CCloseFinder& closes,
                            QStringView name, bool needsAttributes, QList<Attribute>& attributes)
{
    const qsizetype nameEnd = 1 + name.size();
    if (text.size() <= nameEnd || !text.mid(1, name.size()).startsWith(name, Qt::CaseInsensitive))
        return 0;
    const QChar after = text[nameEnd];
    if (!IsBlank(after) && (needsAttributes || after != u'>'))
        return 0;
    const qsizetype found = closes.From(start + nameEnd);
    if (found < 0)
        return 0;
    const qsizetype close = found - start;
    attributes = ParseAttributes(text.mid(nameEnd, close - nameEnd));
    return close + 1;
}

qsizetype MatchTag(QStringView text, qsizetype start, CCloseFinder& closes, Token& token)
{
    for (const SimpleTag& simple : kSimpleTags) {
        const QStringView name(simple.text);
        if (text.startsWith(name, Qt::CaseInsensitive)) {
            token.tag = simple.tag;
            return name.size();
        }
    }
    if (qsizetype length = MatchAttributeTag(text, start, closes, u"FONT", false, token.attributes)) {
        token.tag = Tag::Font;
        return length;
    }
    if (qsizetype length = MatchAttributeTag(text, start, closes, u"HR", false, token.attributes)) {
        token.tag = Tag::Rule;
        return length;
    }
    if (qsizetype length = MatchAttributeTag(text, start, closes, u"A", true, token.attributes)) {
        if (token.Find(u"HREF")) {
            token.tag = Tag::Anchor;
            return length;
        }
        token.attributes.clear();
    }
    return 0;
}

} // namespace

int EntityCount()
{
    return int(std::size(kEntities));
}

const Entity& EntityAt(int index)
{
    return kEntities[index];
}

QString MarkEntities(QStringView text)
{
    QString marked;
    marked.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        bool replaced = false;
        if (text[i] == u'&') {
            for (int e = 0; e < EntityCount(); ++e) {
                const QStringView name(kEntities[e].name);
                if (text.mid(i).startsWith(name)) {
                    marked.append(QChar(kEntityMarker));
                    marked.append(QChar(EntityCode(e)));
                    i += name.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            marked.append(text[i++]);
    }
    return marked;
}

QChar EntityCharacter(char16_t code)
{
    const int index = int(code) - 2;
    if (index < 0 || index >= EntityCount())
        return QChar(u' ');
    return QChar(kEntities[index].character);
}

QString EscapeMarkup(QStringView text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'&')
            escaped += u"&amp;";
        else if (c == u'<')
            escaped += u"&lt;";
        else if (c == u'>')
            escaped += u"&gt;";
        else
            escaped += c;
    }
    return escaped;
}

const Attribute* Token::Find(QStringView upperName) const
{
    for (const Attribute& attribute : attributes) {
        if (attribute.name == upperName)
            return &attribute;
    }
    return nullptr;
}

std::vector<Token> Tokenize(QStringView markedText)
{
    std::vector<Token> tokens;
    CCloseFinder closes(markedText);
    QString run;
    auto flush = [&] {
        if (run.isEmpty())
            return;
        Token token;
        token.text = run;
        tokens.push_back(std::move(token));
        run.clear();
    };
    qsizetype i = 0;
    while (i < markedText.size()) {
        const QChar c = markedText[i];
        if (c == kEntityMarker) {
            // A marker and its code always travel together, whatever the code is.
            run.append(markedText.mid(i, 2));
            i += 2;
            continue;
        }
        if (c == u'<') {
            Token token;
            token.kind = Token::Kind::Tag;
            if (const qsizetype length = MatchTag(markedText.mid(i), i, closes, token)) {
                flush();
                tokens.push_back(std::move(token));
                i += length;
                continue;
            }
        }
        run.append(c);
        ++i;
    }
    flush();
    return tokens;
}

QString PlainText(QStringView text)
{
    QString plain;
    for (const Token& token : Tokenize(MarkEntities(text))) {
        if (token.kind == Token::Kind::Tag) {
            if (token.tag == Tag::Break || token.tag == Tag::Rule)
                plain += u'\n';
            continue;
        }
        for (qsizetype i = 0; i < token.text.size(); ++i) {
            const QChar c = token.text[i];
            if (c == kEntityMarker) {
                if (i + 1 < token.text.size())
                    plain += EntityCharacter(token.text[++i].unicode());
            } else if (c != u'\r') {
                plain += c;
            }
        }
    }
    return plain.trimmed();
}

} // namespace Markup
