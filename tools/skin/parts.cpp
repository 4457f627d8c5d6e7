#include "tools/skin/pictures.h"
#include "tools/skin/skinstyle.h"

#include <QPainter>
#include <QPainterPath>

namespace Skin
{
namespace
{

constexpr int StepWidth = 175;
constexpr int StepHeight = 33;
constexpr int StepLeft = 15; // where the step pictures stand in the window
constexpr int DialogWidth = 260;
constexpr int DialogHeight = 144;
constexpr int DialogFooterTop = 94;

void PaintNumberBadge(QPainter& painter, QPointF centre, int number, const QColor& fill,
                      const QColor& outline, const QColor& ink)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(outline == fill ? QPen(Qt::NoPen) : QPen(outline, 1.4));
    painter.setBrush(fill);
    painter.drawEllipse(centre, 10, 10);
    painter.restore();
    const QRect box(int(centre.x()) - 10, int(centre.y()) - 10, 21, 21);
    painter.setFont(Font(Type::LabelBold));
    painter.setPen(ink);
    painter.drawText(box, Qt::AlignCenter, QString::number(number));
}

// The small title bar of the dialogs: they are dragged by it like the main window.
void PaintDialogFrame(QPainter& painter, const QString& title)
{
    painter.fillRect(QRect(0, 0, DialogWidth, DialogHeight), Content);
    QLinearGradient gradient(0, 0, 0, 17);
    gradient.setColorAt(0.0, BandTop);
    gradient.setColorAt(1.0, BandBottom);
    painter.fillRect(QRect(0, 0, DialogWidth, 17), gradient);
    DrawTextCentred(painter, Type::Small, QColor(0xDD, 0xE7, 0xF1), 8, 0, 17, title);
    painter.fillRect(QRect(0, 17, DialogWidth, 1), Accent);
    painter.save();
    painter.setPen(QColor(0x8A, 0x9D, 0xB2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(0, 0, DialogWidth - 1, DialogHeight - 1));
    painter.restore();
}

void PaintDialogFooter(QPainter& painter)
{
    painter.fillRect(QRect(1, DialogFooterTop, DialogWidth - 2, DialogHeight - DialogFooterTop - 1),
                     Sidebar);
    painter.fillRect(QRect(1, DialogFooterTop, DialogWidth - 2, 1), SidebarEdge);
}

void PaintDialogMark(QPainter& painter, DialogMark mark)
{
    if (mark == DialogMark::None)
        return;
    QColor colour = Accent;
    QString glyph = QStringLiteral("i");
    switch (mark) {
    case DialogMark::None:
    case DialogMark::Information:
        break;
    case DialogMark::Warning:
        colour = Warning;
        glyph = QStringLiteral("!");
        break;
    case DialogMark::Error:
        colour = Danger;
        glyph = QString(QChar(0x00D7));
        break;
    case DialogMark::Question:
        colour = Accent;
        glyph = QStringLiteral("?");
        break;
    }
    // In the title bar's right end, clear of the message text below it.
    const QRect box(DialogWidth - 22, 2, 14, 14);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(box));
    painter.restore();
    painter.setFont(Font(Type::Small));
    painter.setPen(QColor(255, 255, 255));
    painter.drawText(box, Qt::AlignCenter, glyph);
}

} // namespace

void PaintStep(QPainter& painter, int number, const QString& name, bool current)
{
    // Paint the sidebar and its edge exactly as the page behind does.
    painter.fillRect(QRect(0, 0, StepWidth, StepHeight), Content);
    painter.fillRect(QRect(0, 0, SidebarRight - StepLeft, StepHeight), Sidebar);
    painter.fillRect(QRect(SidebarRight - StepLeft, 0, 1, StepHeight), SidebarEdge);
    const QPointF badge(22, StepHeight / 2.0);
    if (!current) {
        PaintNumberBadge(painter, badge, number, Sidebar, QColor(0x9A, 0xA8, 0xB7), Secondary);
        DrawTextCentred(painter, Type::Label, Text, 42, 0, StepHeight, name);
        return;
    }
    // The current step: a filled tab that runs over the sidebar edge and points into the page.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath tab;
    const qreal top = 3, bottom = StepHeight - 3, right = StepWidth - 11;
    tab.moveTo(9, top);
    tab.lineTo(right, top);
    tab.lineTo(StepWidth - 1, StepHeight / 2.0);
    tab.lineTo(right, bottom);
    tab.lineTo(9, bottom);
    tab.quadTo(3, bottom, 3, bottom - 6);
    tab.lineTo(3, top + 6);
    tab.quadTo(3, top, 9, top);
    QLinearGradient gradient(0, top, 0, bottom);
    gradient.setColorAt(0.0, QColor(0x2B, 0x8E, 0xD3));
    gradient.setColorAt(1.0, Accent);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawPath(tab);
    painter.restore();
    PaintNumberBadge(painter, badge, number, QColor(255, 255, 255), QColor(255, 255, 255), Accent);
    DrawTextCentred(painter, Type::LabelBold, QColor(255, 255, 255), 42, 0, StepHeight, name);
}

void PaintTitleButton(QPainter& painter, TitleButton button, QPoint placeInWindow, bool hover)
{
    painter.save();
    painter.translate(-placeInWindow);
    PaintTitleBand(painter, WindowWidth);
    painter.restore();

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF face(0.5, 0.5, 17, 17);
    QColor ink(0xC8, 0xD6, 0xE5);
    if (hover) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(button == TitleButton::Close ? Danger : QColor(255, 255, 255, 60));
        painter.drawRoundedRect(face, 3, 3);
        ink = QColor(255, 255, 255);
    } else {
        painter.setPen(QPen(QColor(255, 255, 255, 50), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(face, 3, 3);
    }
    painter.setPen(QPen(ink, 1.8, Qt::SolidLine, Qt::RoundCap));
    if (button == TitleButton::Close) {
        painter.drawLine(QPointF(5.5, 5.5), QPointF(12.5, 12.5));
        painter.drawLine(QPointF(12.5, 5.5), QPointF(5.5, 12.5));
    } else {
        painter.drawLine(QPointF(5, 12), QPointF(13, 12));
    }
    painter.restore();
}

void PaintMessageDialog(QPainter& painter, DialogMark mark)
{
    PaintDialogFrame(painter, QStringLiteral("Kelda Support Utility"));
    PaintDialogFooter(painter);
    PaintDialogMark(painter, mark);
}

void PaintProgressDialog(QPainter& painter)
{
    PaintDialogFrame(painter, QStringLiteral("Kelda Support Utility"));
    painter.setFont(Font(Type::Heading));
    painter.setPen(Heading);
    painter.drawText(QRect(0, 24, DialogWidth, 20), Qt::AlignCenter, QStringLiteral("Please wait"));
}

void PaintDialogButton(QPainter& painter, const QString& text, DialogButtonState state,
                       QPoint placeInDialog)
{
    painter.save();
    painter.translate(-placeInDialog);
    PaintMessageDialog(painter, DialogMark::None);
    painter.restore();
    ButtonLook look = ButtonLook::Normal;
    switch (state) {
    case DialogButtonState::Normal:
        break;
    case DialogButtonState::Hover:
        look = ButtonLook::Hover;
        break;
    case DialogButtonState::Pressed:
        look = ButtonLook::Pressed;
        break;
    case DialogButtonState::Disabled:
        look = ButtonLook::Disabled;
        break;
    }
    // In the picture's own pixels: at 2x the device is twice as large as the picture.
    const QPaintDevice* device = painter.device();
    const QRect whole(0, 0, qRound(device->width() / device->devicePixelRatio()),
                      qRound(device->height() / device->devicePixelRatio()));
    PaintButtonFace(painter, whole.adjusted(6, 4, -6, -4), look, text);
}

void PaintProgressFrame(QPainter& painter, int frame)
{
    constexpr int Segments = 10;
    constexpr int SegmentWidth = 10;
    constexpr int Gap = 2;
    constexpr int Left = (128 - (Segments * SegmentWidth + (Segments - 1) * Gap)) / 2;
    const bool finished = frame >= Segments;
    const int lit = finished ? Segments : frame;

    painter.fillRect(QRect(0, 0, 128, 49), Content);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < Segments; ++i) {
        QColor colour(0xE1, 0xE8, 0xEF);
        if (finished)
            colour = Success;
        else if (i < lit)
            colour = i == lit - 1 ? AccentLight : Accent;
        painter.setBrush(colour);
        painter.drawRoundedRect(QRectF(Left + i * (SegmentWidth + Gap), 10, SegmentWidth, 12), 2,
                                2);
    }
    painter.restore();
    painter.setFont(Font(Type::Small));
    painter.setPen(finished ? Success : Secondary);
    const QString caption =
        finished ? QStringLiteral("Complete") : QStringLiteral("%1 %").arg(lit * 100 / Segments);
    painter.drawText(QRect(0, 28, 128, 16), Qt::AlignCenter, caption);
}

void PaintDeviceRowBitmap(QPainter& painter, int size)
{
    painter.fillRect(QRect(0, 0, size, size), QColor(255, 255, 255));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 35.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(Accent);
    painter.drawRoundedRect(QRectF(7 * unit, 12 * unit, 21 * unit, 15 * unit), 3 * unit, 3 * unit);
    painter.setBrush(Success);
    painter.drawEllipse(QPointF(12 * unit, 19.5 * unit), 1.8 * unit, 1.8 * unit);
    painter.setPen(QPen(Accent, 2 * unit, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(23 * unit, 12 * unit), QPointF(26 * unit, 5 * unit));
    painter.restore();
}

void PaintNetworkRowBitmap(QPainter& painter, int size)
{
    painter.fillRect(QRect(0, 0, size, size), QColor(255, 255, 255));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 20.0;
    const QPointF base(10 * unit, 15 * unit);
    painter.setBrush(Qt::NoBrush);
    for (int ring = 1; ring <= 2; ++ring) {
        const qreal radius = ring * 4.5 * unit;
        painter.setPen(QPen(Accent, 1.8 * unit, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(QRectF(base.x() - radius, base.y() - radius, 2 * radius, 2 * radius),
                        45 * 16, 90 * 16);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(Accent);
    painter.drawEllipse(base, 1.6 * unit, 1.6 * unit);
    painter.restore();
}

void PaintIcon(QPainter& painter, int size)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 64.0;
    const QRectF tile(2 * unit, 2 * unit, 60 * unit, 60 * unit);
    QLinearGradient gradient(tile.topLeft(), tile.bottomLeft());
    gradient.setColorAt(0.0, BandBottom);
    gradient.setColorAt(1.0, BandTop);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRoundedRect(tile, 12 * unit, 12 * unit);
    painter.restore();
    PaintMark(painter, QRectF(10 * unit, 8 * unit, 44 * unit, 44 * unit), QColor(255, 255, 255),
              AccentLight, size < 32);
}

} // namespace Skin
