#include "controls/markuplayout.h"

#include "controls/colortext.h"
#include "controls/markup.h"
#include "platform/stringtable.h"

#include <algorithm>
#include <cstdlib>

using Markup::Tag;
using Markup::Token;

int CFixedPitchMeasure::Width(const CFontDescription& font, QStringView text) const
{
    return int(text.size()) * Height(font);
}

int CFixedPitchMeasure::Height(const CFontDescription& font) const
{
    return std::clamp(std::abs(font.height), 1, kMaxFontPixels);
}

int CFixedPitchMeasure::Ascent(const CFontDescription& font) const
{
    return Height(font) * 3 / 4;
}

namespace
{

struct Style {
    CFontDescription font; // face and height; the weight and styles come from the counters
    COLORREF textColor = 0;
    COLORREF backColor = 0;
    int bold = 0;
    int italic = 0;
    int underline = 0;
    int strikeOut = 0;
    int center = 0;
    int subscript = 0;
    int superscript = 0;
    int link = -1;

    CFontDescription DrawnFont() const
    {
        CFontDescription drawn = font;
        drawn.weight = bold > 0 ? kWeightBold : kWeightNormal;
        drawn.italic = italic > 0;
        drawn.underline = underline > 0;
        drawn.strikeOut = strikeOut > 0;
        return drawn;
    }
};

struct PendingPiece {
    QString text;
    CFontDescription font;
    COLORREF textColor;
    COLORREF backColor;
    int width;
    int height;
    int ascent;
    int shift; // positive is lower
    int link;
};

void Decrement(int& counter)
{
    if (counter > 0)
        --counter;
}

// Magnitude up or down by one whatever the sign; never down to zero, which would mean "default".
void GrowHeight(int& height, int by)
{
    const int magnitude = std::clamp(std::abs(height) + by, 1, kMaxFontPixels);
    height = height > 0 ? magnitude : -magnitude;
}

class Layouter
{
public:
    Layouter(const MarkupStart& start, const IMarkupMeasure& measure)
        : m_start(start), m_measure(measure), m_y(start.client.top())
    {
        m_style.font = start.font;
        m_style.font.height = std::clamp(start.font.height, -kMaxFontPixels, kMaxFontPixels);
        m_style.textColor = start.textColor;
        m_style.backColor = start.backColor;
        m_startFont = m_style.font;
    }

    MarkupLayout Run(QStringView windowText)
    {
        const QString marked = Markup::MarkEntities(windowText);
        for (const Token& token : Markup::Tokenize(marked)) {
            if (token.kind == Token::Kind::Text)
                AddRun(token.text);
            else
                ApplyTag(token);
        }
        if (!m_line.empty())
            FinishLine();
        return std::move(m_result);
    }

private:
    void ApplyTag(const Token& token)
    {
        switch (token.tag) {
        case Tag::Bold:
            ++m_style.bold;
            break;
        case Tag::EndBold:
            Decrement(m_style.bold);
            break;
        case Tag::Italic:
            ++m_style.italic;
            break;
        case Tag::EndItalic:
            Decrement(m_style.italic);
            break;
        case Tag::Underline:
            ++m_style.underline;
            break;
        case Tag::EndUnderline:
            Decrement(m_style.underline);
            break;
        case Tag::StrikeOut:
            ++m_style.strikeOut;
            break;
        case Tag::EndStrikeOut:
            Decrement(m_style.strikeOut);
            break;
        case Tag::Center:
            ++m_style.center;
            break;
        case Tag::EndCenter:
            Decrement(m_style.center);
            break;
        case Tag::Big:
            GrowHeight(m_style.font.height, 1);
            break;
        case Tag::EndBig:
            GrowHeight(m_style.font.height, -1);
            break;
        case Tag::Small:
            GrowHeight(m_style.font.height, -1);
            break;
        case Tag::EndSmall:
            GrowHeight(m_style.font.height, 1);
            break;
        case Tag::Subscript:
            ++m_style.subscript;
            break;
        case Tag::EndSubscript:
            Decrement(m_style.subscript);
            break;
        case Tag::Superscript:
            ++m_style.superscript;
            break;
        case Tag::EndSuperscript:
            Decrement(m_style.superscript);
            break;
        case Tag::Font:
            ApplyFont(token);
            break;
        case Tag::EndFont:
            m_style.font = m_startFont;
            m_style.textColor = m_start.textColor;
            m_style.backColor = m_start.backColor;
            break;
        case Tag::Code:
            m_style.font.face = QStringLiteral("Courier New");
            break;
        case Tag::EndCode:
            m_style.font = m_startFont;
            break;
        case Tag::Anchor:
            m_result.targets.push_back(token.Find(u"HREF")->raw);
            m_style.link = int(m_result.targets.size()) - 1;
            break;
        case Tag::EndAnchor:
            m_style.link = -1;
            break;
        case Tag::Rule:
            AddRule(token);
            break;
        case Tag::Break:
            FinishLine();
            break;
        }
    }

    void ApplyFont(const Token& token)
    {
        if (const auto* color = token.Find(u"COLOR"))
            m_style.textColor = ParseColorText(color->value, m_start.resolver);
        if (const auto* color = token.Find(u"BGCOLOR"))
            m_style.backColor = ParseColorText(color->value, m_start.resolver);
        if (const auto* face = token.Find(u"FACE"))
            m_style.font.face = face->value;
        if (const auto* size = token.Find(u"SIZE")) {
            // Subtracted: with the usual negative heights a positive SIZE makes the text larger.
            const long long height = (long long)m_style.font.height - ReadLeadingInt(size->value);
            m_style.font.height =
                int(std::clamp<long long>(height, -kMaxFontPixels, kMaxFontPixels));
        }
    }

    void AddRule(const Token& token)
    {
        int size = 2;
        if (const auto* attribute = token.Find(u"SIZE"))
            size = std::clamp(ReadLeadingInt(attribute->value), 0, kMaxRuleSize);
        m_result.lastRuleSize = size;
        if (!m_line.empty())
            FinishLine();
        const QRect& client = m_start.client;
        if (m_y < client.top() + client.height())
            m_result.rules.push_back(
                {QRect(client.left(), m_y, client.width(), size), m_style.textColor});
        m_y += size;
    }

    void AddRun(QStringView run)
    {
        QString word;
        for (qsizetype i = 0; i < run.size(); ++i) {
            const QChar c = run[i];
            if (c == u'\r')
                continue;
            if (c == u'\n') {
                if (!word.isEmpty())
                    word.append(u' ');
                AddWord(word);
                word.clear();
                FinishLine();
                continue;
            }
            if (c == Markup::kEntityMarker) {
                if (i + 1 < run.size())
                    word.append(Markup::EntityCharacter(run[++i].unicode()));
                continue;
            }
            if (c == u' ') {
                // Literal spaces do not start a line; a marked &nbsp; does, so it can indent.
                if (word.isEmpty() && m_line.empty())
                    continue;
                word.append(c);
                AddWord(word);
                word.clear();
                continue;
            }
            word.append(c);
        }
        AddWord(word);
    }

    void AddWord(const QString& word)
    {
        if (word.isEmpty())
            return;
        const CFontDescription font = m_style.DrawnFont();
        QStringView trimmed(word);
        while (trimmed.endsWith(u' '))
            trimmed.chop(1);
        const int room = m_start.client.width() - 2;
        if (!m_line.empty() && m_lineWidth + m_measure.Width(font, trimmed) >= room)
            FinishLine();
        if (m_line.empty())
            m_lineCentered = m_style.center > 0;

        const int width = m_measure.Width(font, word);
        if (!m_line.empty()) {
            PendingPiece& last = m_line.back();
            if (last.font == font && last.textColor == m_style.textColor &&
                last.backColor == m_style.backColor && last.link == m_style.link &&
                last.shift == Shift(font)) {
                last.text += word;
                last.width = m_measure.Width(font, last.text);
                m_lineWidth = LineWidth();
                return;
            }
        }
        m_line.push_back({word, font, m_style.textColor, m_style.backColor, width,
                          m_measure.Height(font), m_measure.Ascent(font), Shift(font),
                          m_style.link});
        m_lineWidth = LineWidth();
    }

    int Shift(const CFontDescription& font) const
    {
        const int half = m_measure.Ascent(font) / 2;
        return (m_style.subscript > 0 ? half : 0) - (m_style.superscript > 0 ? half : 0);
    }

    int LineWidth() const
    {
        int width = 0;
        for (const PendingPiece& piece : m_line)
            width += piece.width;
        return width;
    }

    void FinishLine()
    {
        const CFontDescription current = m_style.DrawnFont();
        int height = m_measure.Height(current);
        int ascent = m_measure.Ascent(current);
        if (!m_line.empty()) {
            height = 0;
            ascent = 0;
            for (const PendingPiece& piece : m_line) {
                height = std::max(height, piece.height);
                ascent = std::max(ascent, piece.ascent);
            }
        }
        const QRect& client = m_start.client;
        if (!m_line.empty() && m_y <= client.top() + client.height() - height)
            PlaceLine(ascent);
        m_line.clear();
        m_lineWidth = 0;
        m_y += height + height / 4;
    }

    void PlaceLine(int lineAscent)
    {
        const QRect& client = m_start.client;
        int x = client.left();
        if (m_lineCentered) {
            // Trailing blanks do not count, or centred lines would lean left.
            int width = LineWidth();
            const PendingPiece& last = m_line.back();
            QStringView text(last.text);
            while (text.endsWith(u' '))
                text.chop(1);
            width += m_measure.Width(last.font, text) - last.width;
            x = std::max(client.left(), client.left() + (client.width() - width) / 2);
        }
        for (const PendingPiece& piece : m_line) {
            const int baseline = m_y + lineAscent + piece.shift;
            MarkupPiece placed{piece.text,
                               piece.font,
                               piece.textColor,
                               piece.backColor,
                               QRect(x, baseline - piece.ascent, piece.width, piece.height),
                               baseline,
                               piece.link};
            if (piece.link >= 0)
                m_result.links.push_back({placed.rect, piece.link});
            m_result.pieces.push_back(std::move(placed));
            x += piece.width;
        }
    }

    const MarkupStart& m_start;
    const IMarkupMeasure& m_measure;
    Style m_style;
    CFontDescription m_startFont;
    std::vector<PendingPiece> m_line;
    int m_lineWidth = 0;
    bool m_lineCentered = false;
    int m_y;
    MarkupLayout m_result;
};

} // namespace

MarkupLayout LayoutMarkup(QStringView windowText, const MarkupStart& start,
                          const IMarkupMeasure& measure)
{
    return Layouter(start, measure).Run(windowText);
}
