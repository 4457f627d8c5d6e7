#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

// The application icon as the desktop's icon theme takes it: square PNGs at the theme's sizes
// and one scalable drawing, all from the mark the skin's pictures carry.
namespace Skin
{

QList<int> AppIconSizes();
// "48.png" for a size, "scalable.svg" for 0.
QString AppIconFile(int size);
QImage RenderAppIcon(int size);
// The file's bytes for a size, or the SVG for 0.
QByteArray EncodeAppIcon(int size);
// What a desktop shows of a stored icon: the PNG decoded, or the SVG drawn at 256 pixels.
QImage DecodeAppIcon(const QByteArray& bytes, int size);

} // namespace Skin
