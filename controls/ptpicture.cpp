#include "controls/ptpicture.h"

#include <QFile>
#include <QImageReader>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>

namespace
{

constexpr int kAuthoredDpi = 96;
constexpr int kHimetricPerInch = 2540;

// Rounds like the desktop's MulDiv, so sizes come out as they always have.
int MulDiv(int number, int numerator, int denominator)
{
    if (denominator == 0)
        return -1;
    long long product = (long long)number * numerator;
    long long divisor = denominator;
    if (divisor < 0) {
        product = -product;
        divisor = -divisor;
    }
    const long long half = divisor / 2;
    return int(product >= 0 ? (product + half) / divisor : -((-product + half) / divisor));
}

QString ResourceName(QStringView name)
{
    return (name.startsWith(u'#') ? name.mid(1) : name).toString();
}

} // namespace

QString CPTPicture::ResourcePath(QStringView name, QStringView type)
{
    return QStringLiteral(":/%1/%2").arg(type, ResourceName(name));
}

namespace
{

QImage ReadPicture(QStringView name, QStringView type)
{
    QString path = CPTPicture::ResourcePath(name, type);
    if (!QFile::exists(path))
        path = QStringLiteral("keldaskin:%1/%2").arg(type, ResourceName(name));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return {};
    QImageReader reader(&file);
    return reader.read();
}

} // namespace

bool CPTPicture::Load(QStringView name, QStringView type)
{
    Release();
    m_image = ReadPicture(name, type);
    if (m_image.isNull())
        return false;
    m_doubleName = name.toString() + QStringLiteral("@2x");
    m_type = type.toString();
    return true;
}

const QImage& CPTPicture::ImageFor(qreal devicePixelRatio) const
{
    if (devicePixelRatio <= 1.0)
        return m_image;
    if (!m_doubleName.isEmpty()) {
        m_double = ReadPicture(m_doubleName, m_type);
        m_doubleName.clear();
        // A companion of another size than twice would shift every control drawn over it.
        if (m_double.size() != m_image.size() * 2)
            m_double = QImage();
    }
    return m_double.isNull() ? m_image : m_double;
}

bool CPTPicture::LoadId(int id, QStringView type)
{
    return Load(u'#' + QString::number(id), type);
}

QSize CPTPicture::DrawnSize(int dpiX, int dpiY) const
{
    // Through the picture's size in 0.01 mm, as the picture object reports it.
    const int himetricWidth = MulDiv(m_image.width(), kHimetricPerInch, kAuthoredDpi);
    const int himetricHeight = MulDiv(m_image.height(), kHimetricPerInch, kAuthoredDpi);
    return QSize(MulDiv(himetricWidth, dpiX, kHimetricPerInch),
                 MulDiv(himetricHeight, dpiY, kHimetricPerInch));
}

bool CPTPicture::Draw(QPainter& painter) const
{
    if (m_image.isNull() || !painter.device())
        return false;
    const QSize size = DrawnSize(painter.device()->logicalDpiX(), painter.device()->logicalDpiY());
    // The engine's device is where the pixels land, also when a widget is rendered into an image.
    const QPaintEngine* engine = painter.paintEngine();
    const QPaintDevice* target =
        engine && engine->paintDevice() ? engine->paintDevice() : painter.device();
    const qreal ratio = target->devicePixelRatio();
    const QImage& image = ImageFor(ratio);
    // Between whole multiples of the picture's own size (150 %, or 300 % from the 2x picture)
    // the pixels are resampled, which needs filtering to stay even.
    const qreal stretch = ratio / (&image == &m_double ? 2.0 : 1.0);
    const bool smooth = !qFuzzyCompare(stretch, qreal(qRound(stretch)));
    const bool wasSmooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth || wasSmooth);
    painter.drawImage(QRect(QPoint(0, 0), size), image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, wasSmooth);
    return true;
}
