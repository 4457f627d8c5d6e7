#pragma once

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdlib>

// Pictures and pixel checks shared by the control tests.
namespace Pixels
{

inline bool Near(QColor a, QColor b, int tolerance = 12)
{
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

inline QImage Grab(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Pixels that differ from `background` by more than the tolerance.
inline int Ink(const QImage& image, QColor background, QRect area = QRect())
{
    if (area.isNull())
        area = image.rect();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += !Near(image.pixelColor(x, y), background, 40);
    return count;
}

inline QRect InkBounds(const QImage& image, QColor background)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!Near(image.pixelColor(x, y), background, 40))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// Pixels close to `color`: text is anti-aliased, so its core is what counts.
inline int CountNear(const QImage& image, QColor color, QRect area = QRect(), int tolerance = 60)
{
    if (area.isNull())
        area = image.rect();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += Near(image.pixelColor(x, y), color, tolerance);
    return count;
}

// Rows that carry ink, as runs: how many separate text lines there are.
inline int InkBands(const QImage& image, QColor background)
{
    int bands = 0;
    bool inBand = false;
    for (int y = 0; y < image.height(); ++y) {
        const bool ink = Ink(image, background, QRect(0, y, image.width(), 1)) > 0;
        bands += ink && !inBand;
        inBand = ink;
    }
    return bands;
}

// Solid test pictures found through the "keldaskin" search path as JPEG/<id>, so the tests
// need not know what the real skin looks like.
class PictureFolder
{
public:
    PictureFolder()
    {
        QDir(m_dir.path()).mkpath(u"JPEG"_qs);
        QDir::addSearchPath(u"keldaskin"_qs, m_dir.path());
    }
    ~PictureFolder() { QDir::setSearchPaths(u"keldaskin"_qs, {}); }

    void Add(int id, QSize size, QColor color, QColor mark = QColor())
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(color);
        if (mark.isValid()) {
            QPainter painter(&image);
            painter.fillRect(QRect(0, 0, size.width() / 2, size.height() / 2), mark);
        }
        image.save(m_dir.filePath(u"JPEG/"_qs + QString::number(id)), "JPEG", 100);
    }

private:
    QTemporaryDir m_dir;
};

} // namespace Pixels
