#include "tools/skin/appicons.h"

#include "tools/skin/pictures.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QSvgGenerator>
#include <QSvgRenderer>

namespace Skin
{
namespace
{

// The drawing's own grid; PaintIcon works in 64ths of its size.
constexpr int SvgGrid = 64;

QByteArray Svg()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(QSize(SvgGrid, SvgGrid));
    generator.setViewBox(QRect(0, 0, SvgGrid, SvgGrid));
    generator.setTitle(QStringLiteral("Kelda Support Utility"));
    generator.setDescription(QStringLiteral("Written by tools/skin/regenerate"));
    QPainter painter(&generator);
    PaintIcon(painter, SvgGrid);
    painter.end();
    return bytes;
}

} // namespace

QList<int> AppIconSizes()
{
    return {16, 22, 24, 32, 48, 64, 128, 256};
}

QString AppIconFile(int size)
{
    return size == 0 ? QStringLiteral("scalable.svg") : QStringLiteral("%1.png").arg(size);
}

QImage RenderAppIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    PaintIcon(painter, size);
    painter.end();
    return image;
}

QByteArray EncodeAppIcon(int size)
{
    if (size == 0)
        return Svg();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    return writer.write(RenderAppIcon(size)) ? bytes : QByteArray();
}

QImage DecodeAppIcon(const QByteArray& bytes, int size)
{
    if (size != 0)
        return QImage::fromData(bytes);
    QImage image(256, 256, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(bytes);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

} // namespace Skin
