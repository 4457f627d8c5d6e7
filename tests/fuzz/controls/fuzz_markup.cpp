// The markup static shows texts that carry values read from a device. Any text must lay out in
// bounded time within the client area, and an escaped value must never open a tag.

#include "controls/markup.h"
#include "controls/markuplayout.h"
#include "fuzzcheck.h"
#include "platform/codepage.h"

namespace
{

QString DecodeRuns(const std::vector<Markup::Token>& tokens)
{
    QString text;
    for (const Markup::Token& token : tokens) {
        FUZZ_CHECK(token.kind == Markup::Token::Kind::Text);
        for (qsizetype i = 0; i < token.text.size(); ++i) {
            if (token.text[i] == QChar(Markup::kEntityMarker) && i + 1 < token.text.size())
                text += Markup::EntityCharacter(token.text[++i].unicode());
            else
                text += token.text[i];
        }
    }
    return text;
}

void CheckEscaped(const QString& value)
{
    if (value.contains(QChar(Markup::kEntityMarker)))
        return; // a raw marker is not a character a value can show
    const auto tokens = Markup::Tokenize(Markup::MarkEntities(Markup::EscapeMarkup(value)));
    FUZZ_CHECK(DecodeRuns(tokens) == value);
}

void CheckLayout(const QString& text, const MarkupStart& start)
{
    const MarkupLayout layout = LayoutMarkup(text, start, CFixedPitchMeasure());
    const QRect& client = start.client;
    FUZZ_CHECK(layout.lastRuleSize >= 0 && layout.lastRuleSize <= kMaxRuleSize);
    qsizetype characters = 0;
    for (const MarkupPiece& piece : layout.pieces) {
        FUZZ_CHECK(!piece.text.isEmpty());
        FUZZ_CHECK(piece.link >= -1 && piece.link < int(layout.targets.size()));
        FUZZ_CHECK(std::abs(piece.font.height) <= kMaxFontPixels);
        FUZZ_CHECK(piece.rect.left() >= client.left());
        FUZZ_CHECK(piece.rect.width() >= 0 && piece.rect.height() > 0);
        characters += piece.text.size();
    }
    // Entities shrink to one character, tags vanish: never more characters than were given.
    FUZZ_CHECK(characters <= text.size());
    FUZZ_CHECK(layout.links.size() <= layout.pieces.size());
    for (const MarkupLink& link : layout.links)
        FUZZ_CHECK(link.target >= 0 && link.target < int(layout.targets.size()));
    for (const MarkupRule& rule : layout.rules) {
        FUZZ_CHECK(rule.rect.top() < client.top() + client.height());
        FUZZ_CHECK(rule.rect.height() >= 0 && rule.rect.height() <= kMaxRuleSize);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzInput input(data, size);
    MarkupStart start;
    start.client = QRect(input.Byte() % 16, input.Byte() % 16, 1 + input.Word() % 1024,
                         1 + input.Word() % 1024);
    start.font.height = int(std::int8_t(input.Byte()));
    start.resolver = DefaultSysColor;
    std::size_t taken = 0;
    const std::uint8_t* rest = input.Take(input.Remaining(), taken);
    const QString text = FromAnsi(QByteArrayView(reinterpret_cast<const char*>(rest), qsizetype(taken)));

    CheckLayout(text, start);
    CheckEscaped(text);
    return 0;
}
