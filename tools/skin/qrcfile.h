#pragma once

#include "tools/skin/catalogue.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace Skin
{

// The resource file: one prefix a storage kind, each picture under its id as alias, so a JPEG
// resource "#133" is :/JPEG/133. Paths are relative to the .qrc's folder.
QByteArray QrcText(const QList<Picture>& catalogue, const QString& pictureFolder);

} // namespace Skin
