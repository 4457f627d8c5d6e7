#pragma once

#include <QByteArray>
#include <QString>

namespace Skin
{

// Whether a stored picture is what the generator drew, up to the rounding of antialiased
// pixels: Qt's raster engine takes other SIMD paths on other CPUs, and the coded file then
// differs by a few levels here and there. Size, pixel format and file format must match
// exactly. `why` says what differs.
bool SamePicture(const QByteArray& stored, const QByteArray& drawn, QString* why = nullptr);

} // namespace Skin
