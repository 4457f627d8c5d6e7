#include "platform/codepage.h"

#include <array>

namespace {

// 0x80-0x9F; zero marks the five undefined positions, which map to the C1 control itself.
constexpr std::array<char16_t, 32> kHighTable = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t DecodeByte(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F) {
        const char16_t mapped = kHighTable[byte - 0x80];
        return mapped ? mapped : char16_t(byte);
    }
    return char16_t(byte);
}

int EncodeUnit(char16_t unit)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return unit;
    for (int i = 0; i < 32; ++i) {
        const char16_t mapped = kHighTable[i];
        if (mapped ? mapped == unit : unit == 0x80 + i)
            return 0x80 + i;
    }
    return -1;
}

} // namespace

QByteArray ToAnsi(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i; // one character, one replacement
            out.append('?');
            continue;
        }
        const int byte = EncodeUnit(unit);
        out.append(byte < 0 ? '?' : char(byte));
    }
    return out;
}

QString FromAnsi(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* dest = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        dest[i] = QChar(DecodeByte(static_cast<unsigned char>(bytes[i])));
    return out;
}
