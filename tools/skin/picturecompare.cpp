#include "tools/skin/picturecompare.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <cstdlib>

namespace Skin
{

namespace
{

// A rounding step of the blending, grown by the coder's own rounding around it.
constexpr int kMaxLevels = 8;
// Antialiased edges and the coder's blocks around them, never a whole area.
constexpr double kMaxShare = 0.01;

QByteArray FileFormat(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader::imageFormat(&buffer);
}

bool Fail(QString* why, const QString& text)
{
    if (why)
        *why = text;
    return false;
}

} // namespace

bool SamePicture(const QByteArray& stored, const QByteArray& drawn, QString* why)
{
    if (stored == drawn)
        return true;
    const QByteArray storedFormat = FileFormat(stored);
    const QByteArray drawnFormat = FileFormat(drawn);
    if (storedFormat.isEmpty() || storedFormat != drawnFormat)
        return Fail(why,
                    QStringLiteral("file format %1, drawn %2")
                        .arg(QString::fromLatin1(storedFormat), QString::fromLatin1(drawnFormat)));
    const QImage a = QImage::fromData(stored);
    const QImage b = QImage::fromData(drawn);
    if (a.isNull() || b.isNull())
        return Fail(why, QStringLiteral("does not decode"));
    if (a.size() != b.size())
        return Fail(why, QStringLiteral("size %1x%2, drawn %3x%4")
                             .arg(a.width())
                             .arg(a.height())
                             .arg(b.width())
                             .arg(b.height()));
    if (a.format() != b.format())
        return Fail(why,
                    QStringLiteral("pixel format %1, drawn %2").arg(a.format()).arg(b.format()));
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    qint64 differing = 0;
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int column = 0; column < x.width(); ++column) {
            if (p[column] == q[column])
                continue;
            ++differing;
            worst = std::max({worst, std::abs(qRed(p[column]) - qRed(q[column])),
                              std::abs(qGreen(p[column]) - qGreen(q[column])),
                              std::abs(qBlue(p[column]) - qBlue(q[column])),
                              std::abs(qAlpha(p[column]) - qAlpha(q[column]))});
        }
    }
    const qint64 pixels = qint64(x.width()) * x.height();
    if (worst > kMaxLevels || double(differing) > kMaxShare * double(pixels))
        return Fail(why, QStringLiteral("%1 of %2 pixels differ, by up to %3 levels")
                             .arg(differing)
                             .arg(pixels)
                             .arg(worst));
    return true;
}

} // namespace Skin
