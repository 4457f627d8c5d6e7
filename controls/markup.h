#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <vector>

// The markup of the HTML-subset static, as pure functions: entities first become two-character
// markers (so "&lt;b&gt;" can never open a tag), then the text splits into runs and tags.
namespace Markup
{

inline constexpr char16_t kEntityMarker = 0x0001;

struct Entity {
    const char16_t* name; // with "&" and ";"
    char16_t character;
};
int EntityCount();
const Entity& EntityAt(int index);
// Entity i travels as kEntityMarker followed by this code.
constexpr char16_t EntityCode(int index)
{
    return char16_t(index + 2);
}

// Case-sensitive, as browsers of the time matched them: "&AMP;" stays five characters.
QString MarkEntities(QStringView text);
// The character behind a marker's code; a space for a code that is no entity's.
QChar EntityCharacter(char16_t code);

// Makes `text` show as it is: values read from a device (a network name, say) must not open
// tags or links.
QString EscapeMarkup(QStringView text);

enum class Tag {
    Bold,
    EndBold,
    Italic,
    EndItalic,
    Underline,
    EndUnderline,
    StrikeOut,
    EndStrikeOut,
    Center,
    EndCenter,
    Big,
    EndBig,
    Small,
    EndSmall,
    Subscript,
    EndSubscript,
    Superscript,
    EndSuperscript,
    Font,
    EndFont,
    Code,
    EndCode,
    Anchor,
    EndAnchor,
    Rule,
    Break,
};

struct Attribute {
    QString name;  // upper case
    QString value; // without the quotes
    QString raw;   // as written, quotes included
};

struct Token {
    enum class Kind { Text, Tag };
    Kind kind = Kind::Text;
    Tag tag = Tag::Break;
    QString text; // a text run, entity markers still in it
    QList<Attribute> attributes;

    const Attribute* Find(QStringView upperName) const;
};

// Tag names match in any case; a "<" that starts no known tag is text.
std::vector<Token> Tokenize(QStringView markedText);

// The words the markup shows, for a screen reader: tags gone, entities as their characters,
// breaks and rules as line ends.
QString PlainText(QStringView text);

} // namespace Markup
