#include "tools/skin/catalogue.h"

#include "tools/skin/pictures.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

namespace Skin
{
namespace
{

constexpr int JpegQuality = 95;
constexpr int DotsPerMeterAt96Dpi = 3780; // pages draw pictures 1:1 at 96 dpi
constexpr int IconSize = 256;

const QSize PageSize(700, 500);
const QSize StepSize(175, 33);
const QSize TitleButtonSize(18, 18);
const QSize DialogSize(260, 144);
const QSize DialogButtonSize(88, 34);
const QSize FrameSize(128, 49);

// Where the message dialog's OK button stands (rectangle 545): its pictures carry the footer.
const QPoint DialogButtonPlace(86, 100);

struct Step {
    int number;
    const char16_t* name;
    int otherPages;
    int ownPage;
};

const Step Steps[] = {
    {1, u"Locate", 214, 220},   {2, u"Repeater", 223, 224}, {3, u"IP Address", 218, 219},
    {4, u"Wireless", 227, 215}, {5, u"Firmware", 216, 217}, {6, u"Password", 221, 222},
    {7, u"Reset", 225, 226},
};

Picture Jpeg(int id, QSize size, const QString& purpose, std::function<void(QPainter&)> paint)
{
    return {id, Storage::Jpeg, size, purpose, std::move(paint)};
}

void AddDialogButton(QList<Picture>& list, int id, const QString& text, DialogButtonState state,
                     const QString& purpose)
{
    list.append(Jpeg(id, DialogButtonSize, purpose, [text, state](QPainter& painter) {
        PaintDialogButton(painter, text, state, DialogButtonPlace);
    }));
}

} // namespace

QList<Picture> Catalogue()
{
    QList<Picture> list;
    list.append(
        Jpeg(128, QSize(128, 128), QStringLiteral("application mark"), [](QPainter& painter) {
            painter.fillRect(QRect(0, 0, 128, 128), QColor(255, 255, 255));
            PaintIcon(painter, 128);
        }));
    list.append(Jpeg(133, PageSize, QStringLiteral("Locate page"), PaintLocatePage));
    list.append(Jpeg(134, PageSize, QStringLiteral("IP address page"), PaintIpAddressPage));
    list.append(Jpeg(136, PageSize, QStringLiteral("firmware page"), PaintFirmwarePage));
    list.append(Jpeg(137, PageSize, QStringLiteral("password page"), PaintPasswordPage));
    list.append(Jpeg(138, PageSize, QStringLiteral("reset page"), PaintResetPage));
    list.append(Jpeg(140, PageSize, QStringLiteral("summary page"), PaintSummaryPage));
    list.append(Jpeg(141, PageSize, QStringLiteral("wireless page"), PaintWirelessPage));

    const struct {
        int id;
        TitleButton button;
        QPoint place;
        bool hover;
    } titleButtons[] = {
        {146, TitleButton::Minimize, {658, 6}, false},
        {147, TitleButton::Minimize, {658, 6}, true},
        {150, TitleButton::Close, {676, 6}, false},
        {151, TitleButton::Close, {676, 6}, true},
    };
    for (const auto& entry : titleButtons)
        list.append(Jpeg(entry.id, TitleButtonSize,
                         entry.hover ? QStringLiteral("title button, hover")
                                     : QStringLiteral("title button"),
                         [entry](QPainter& painter) {
                             PaintTitleButton(painter, entry.button, entry.place, entry.hover);
                         }));

    // Dialog buttons beside OK, in the same face, for dialogs that ask.
    AddDialogButton(list, 148, QStringLiteral("Cancel"), DialogButtonState::Normal,
                    QStringLiteral("Cancel button"));
    AddDialogButton(list, 149, QStringLiteral("Cancel"), DialogButtonState::Hover,
                    QStringLiteral("Cancel button, hover"));
    AddDialogButton(list, 153, QStringLiteral("Yes"), DialogButtonState::Normal,
                    QStringLiteral("Yes button"));
    AddDialogButton(list, 154, QStringLiteral("Yes"), DialogButtonState::Hover,
                    QStringLiteral("Yes button, hover"));
    AddDialogButton(list, 155, QStringLiteral("No"), DialogButtonState::Normal,
                    QStringLiteral("No button"));
    AddDialogButton(list, 156, QStringLiteral("No"), DialogButtonState::Hover,
                    QStringLiteral("No button, hover"));
    AddDialogButton(list, 157, QStringLiteral("Retry"), DialogButtonState::Normal,
                    QStringLiteral("Retry button"));

    list.append(Jpeg(160, DialogSize, QStringLiteral("message dialog"),
                     [](QPainter& painter) { PaintMessageDialog(painter, DialogMark::None); }));
    AddDialogButton(list, 162, QStringLiteral("OK"), DialogButtonState::Hover,
                    QStringLiteral("OK button, hover"));
    AddDialogButton(list, 167, QStringLiteral("OK"), DialogButtonState::Disabled,
                    QStringLiteral("OK button, disabled"));
    AddDialogButton(list, 168, QStringLiteral("OK"), DialogButtonState::Normal,
                    QStringLiteral("OK button"));
    AddDialogButton(list, 169, QStringLiteral("OK"), DialogButtonState::Pressed,
                    QStringLiteral("OK button, pressed"));
    list.append(Jpeg(170, QSize(748, 500), QStringLiteral("start-up picture"), PaintSplash));

    const struct {
        int id;
        DialogMark mark;
        const char16_t* purpose;
    } marked[] = {{182, DialogMark::Information, u"information dialog"},
                  {183, DialogMark::Warning, u"warning dialog"},
                  {184, DialogMark::Error, u"error dialog"},
                  {185, DialogMark::Question, u"question dialog"}};
    for (const auto& entry : marked)
        list.append(Jpeg(entry.id, DialogSize, QString::fromUtf16(entry.purpose),
                         [entry](QPainter& painter) { PaintMessageDialog(painter, entry.mark); }));

    for (const Step& step : Steps) {
        const QString name = QString::fromUtf16(step.name);
        list.append(Jpeg(
            step.otherPages, StepSize, name + QStringLiteral(" step"),
            [step, name](QPainter& painter) { PaintStep(painter, step.number, name, false); }));
        list.append(
            Jpeg(step.ownPage, StepSize, name + QStringLiteral(" step, current"),
                 [step, name](QPainter& painter) { PaintStep(painter, step.number, name, true); }));
    }

    list.append(Jpeg(248, DialogSize, QStringLiteral("progress dialog"), PaintProgressDialog));

    // Frame n of the animation is bitmap 172 + n for n = 0 to 9; 171 is the finished frame.
    for (int id = 171; id <= 181; ++id) {
        const int frame = id == 171 ? 10 : id - 172;
        list.append({id, Storage::Bitmap, FrameSize, QStringLiteral("progress frame %1").arg(frame),
                     [frame](QPainter& painter) { PaintProgressFrame(painter, frame); }});
    }
    list.append({249, Storage::Bitmap, QSize(35, 35), QStringLiteral("device list row"),
                 [](QPainter& painter) { PaintDeviceRowBitmap(painter, 35); }});
    list.append({250, Storage::Bitmap, QSize(20, 20), QStringLiteral("network list row"),
                 [](QPainter& painter) { PaintNetworkRowBitmap(painter, 20); }});
    list.append({128, Storage::Icon, QSize(IconSize, IconSize), QStringLiteral("application icon"),
                 [](QPainter& painter) { PaintIcon(painter, IconSize); }});

    std::sort(list.begin(), list.end(), [](const Picture& a, const Picture& b) {
        return std::pair(int(a.storage), a.id) < std::pair(int(b.storage), b.id);
    });
    return list;
}

QString ResourcePrefix(Storage storage)
{
    switch (storage) {
    case Storage::Jpeg:
        return QStringLiteral("JPEG");
    case Storage::Bitmap:
        return QStringLiteral("BITMAP");
    case Storage::Icon:
        return QStringLiteral("ICON");
    }
    return {};
}

bool HasDoubleSize(const Picture& picture)
{
    return picture.storage != Storage::Icon;
}

QString FileName(const Picture& picture, int scale)
{
    const QString suffix = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
    switch (picture.storage) {
    case Storage::Jpeg:
        return QStringLiteral("%1%2.jpg").arg(picture.id).arg(suffix);
    case Storage::Bitmap:
        return QStringLiteral("%1%2.bmp").arg(picture.id).arg(suffix);
    case Storage::Icon:
        return QStringLiteral("icon-%1.png").arg(picture.id);
    }
    return {};
}

QImage Render(const Picture& picture, int scale)
{
    const bool alpha = picture.storage == Storage::Icon;
    QImage image(picture.size * scale,
                 alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    image.fill(alpha ? Qt::transparent : Qt::white);
    image.setDotsPerMeterX(DotsPerMeterAt96Dpi * scale);
    image.setDotsPerMeterY(DotsPerMeterAt96Dpi * scale);
    // The painter then works in the 1x coordinates the paint functions are written in.
    if (scale != 1)
        image.setDevicePixelRatio(scale);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    picture.paint(painter);
    painter.end();
    return image;
}

QByteArray Encode(const Picture& picture, const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, QByteArray());
    switch (picture.storage) {
    case Storage::Jpeg:
        writer.setFormat("jpeg");
        writer.setQuality(JpegQuality);
        writer.setOptimizedWrite(true);
        writer.setProgressiveScanWrite(false);
        break;
    case Storage::Bitmap:
        // Qt writes 32-bit images as uncompressed 24 bits per pixel.
        writer.setFormat("bmp");
        break;
    case Storage::Icon:
        writer.setFormat("png");
        break;
    }
    if (!writer.write(
            picture.storage == Storage::Icon ? image : image.convertToFormat(QImage::Format_RGB32)))
        return {};
    return bytes;
}

} // namespace Skin
