#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <functional>

class QPainter;

namespace Skin
{

// How a picture is stored, which also names its resource prefix (:/JPEG/133, :/BITMAP/171).
enum class Storage { Jpeg, Bitmap, Icon };

struct Picture {
    int id;
    Storage storage;
    QSize size;
    QString purpose;
    std::function<void(QPainter&)> paint;
};

QList<Picture> Catalogue();

// Every picture but the icon (already large, scaled by the desktop) is also drawn at twice its
// size for high-density screens, stored beside it as "133@2x.jpg" under the alias "133@2x".
bool HasDoubleSize(const Picture& picture);
QString FileName(const Picture& picture, int scale = 1);
QString ResourcePrefix(Storage storage);

QImage Render(const Picture& picture, int scale = 1);
// The file's bytes: fixed quality and density, so the same build writes the same bytes.
QByteArray Encode(const Picture& picture, const QImage& image);

} // namespace Skin
