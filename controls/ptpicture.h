#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringView>

class QPainter;

// One skin picture from the program's resources. Pictures are authored at 96 pixels per inch
// and drawn scaled by the target's pixels per inch, so 1:1 on an ordinary screen.
class CPTPicture
{
public:
    // `name` is "#<id>" (or a plain resource name), `type` the resource folder ("JPEG"): "#133"
    // of "JPEG" is :/JPEG/133. Names not compiled in are looked up in the "keldaskin" search
    // path, which is empty unless someone (a test, a skin designer) adds a folder to it.
    // Any previous picture is released first. A twice-sized companion ("133@2x"), when there is
    // one, serves high-density screens; it is read the first time one asks for it.
    bool Load(QStringView name, QStringView type);
    bool LoadId(int id, QStringView type = u"JPEG");
    void Release()
    {
        m_image = QImage();
        m_double = QImage();
        m_doubleName.clear();
    }

    // Draws at the painter's origin, at the same size on every screen; false when nothing is
    // loaded. Above 1 device pixel per pixel the twice-sized picture is drawn where there is one.
    bool Draw(QPainter& painter) const;

    bool IsLoaded() const { return !m_image.isNull(); }
    // The size it is drawn at on a target of this many pixels per inch.
    QSize DrawnSize(int dpiX, int dpiY) const;
    const QImage& Image() const { return m_image; }
    // The picture that fits this device pixel ratio: the companion above 1, if there is one.
    const QImage& ImageFor(qreal devicePixelRatio) const;

    static QString ResourcePath(QStringView name, QStringView type);

private:
    QImage m_image;
    // Read on demand: most screens never need it, and it is four times the picture.
    mutable QImage m_double;
    mutable QString m_doubleName;
    QString m_type;
};
