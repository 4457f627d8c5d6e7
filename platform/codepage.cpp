#include "platform/codepage.h"

#include <algorithm>
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

bool IsAscii(QStringView text)
{
    constexpr qsizetype kBlock = 64;
    const char16_t* units = text.utf16();
    const qsizetype size = text.size();
    qsizetype i = 0;
    for (; i + kBlock <= size; i += kBlock) {
        char16_t bits = 0;
        for (qsizetype k = 0; k < kBlock; ++k)
            bits |= units[i + k];
        if (bits >= 0x80)
            return false;
    }
    for (; i < size; ++i) {
        if (units[i] >= 0x80)
            return false;
    }
    return true;
}

} // namespace

QByteArray ToAnsi(QStringView text)
{
    // A request that carries a firmware image converts tens of millions of characters: the
    // output has its final size from the start, and blocks of plain ASCII are copied by loops
    // the compiler vectorises.
    constexpr qsizetype kBlock = 64;
    QByteArray out(text.size(), Qt::Uninitialized);
    char* dest = out.data();
    const char16_t* units = text.utf16();
    const qsizetype size = text.size();
    qsizetype written = 0;
    qsizetype i = 0;
    while (i < size) {
        // Fixed trip counts, so that even the cheapest vectorisation takes these loops.
        if (size - i >= kBlock) {
            char16_t bits = 0;
            for (qsizetype k = 0; k < kBlock; ++k)
                bits |= units[i + k];
            if (bits < 0x80) {
                for (qsizetype k = 0; k < kBlock; ++k)
                    dest[written + k] = char(units[i + k]);
                written += kBlock;
                i += kBlock;
                continue;
            }
        }
        for (const qsizetype blockEnd = std::min(size, i + kBlock); i < blockEnd; ++i) {
            const char16_t unit = units[i];
            if (QChar::isHighSurrogate(unit) && i + 1 < size &&
                QChar::isLowSurrogate(units[i + 1])) {
                ++i; // one character, one replacement
                dest[written++] = '?';
                continue;
            }
            const int byte = EncodeUnit(unit);
            dest[written++] = byte < 0 ? '?' : char(byte);
        }
    }
    out.truncate(written);
    return out;
}

QByteArray MoveToAnsi(QString&& text)
{
    // Below 0x80 the code page is ASCII, as Latin-1 is.
    if (IsAscii(text))
        return std::move(text).toLatin1();
    QByteArray out = ToAnsi(text);
    text.clear();
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
