#include "tools/skin/skinstyle.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace Skin
{

bool LoadFonts(QString& error)
{
    static const char* const files[] = {
        "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
        "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    };
    for (const char* path : files) {
        if (QFontDatabase::addApplicationFont(QString::fromLatin1(path)) < 0) {
            error = QStringLiteral("cannot load %1 (install fonts-dejavu-core)")
                        .arg(QString::fromLatin1(path));
            return false;
        }
    }
    const QFontInfo info(Font(Type::Label));
    if (info.family() != QStringLiteral("DejaVu Sans")) {
        error = QStringLiteral("DejaVu Sans resolves to %1").arg(info.family());
        return false;
    }
    return true;
}

QFont Font(Type type)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    // Full hinting snaps stems to the pixel grid: small text stays sharp after JPEG coding.
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoFontMerging));
    switch (type) {
    case Type::Label:
        font.setPixelSize(12);
        break;
    case Type::LabelBold:
        font.setPixelSize(12);
        font.setBold(true);
        break;
    case Type::Small:
        font.setPixelSize(11);
        break;
    case Type::Caption:
        font.setPixelSize(10);
        font.setBold(true);
        font.setLetterSpacing(QFont::AbsoluteSpacing, 1.0);
        break;
    case Type::Heading:
        font.setPixelSize(13);
        font.setBold(true);
        break;
    case Type::Title:
        font.setPixelSize(19);
        font.setBold(true);
        break;
    case Type::Product:
        font.setPixelSize(22);
        font.setBold(true);
        break;
    case Type::Button:
        font.setPixelSize(12);
        font.setBold(true);
        break;
    case Type::Display:
        font.setPixelSize(34);
        font.setBold(true);
        break;
    case Type::Lead:
        font.setPixelSize(15);
        break;
    }
    return font;
}

int TextWidth(Type type, const QString& text)
{
    return QFontMetrics(Font(type)).horizontalAdvance(text);
}

namespace
{

// How far the text's ink reaches, in pixels of the layout, when drawn at this ratio on a
// picture of this resolution.
qreal InkWidth(const QFont& font, const QString& text, qreal ratio, int dpi)
{
    const QFontMetrics metrics(font);
    const QSize size(metrics.horizontalAdvance(text) * 2 + 16, metrics.height());
    QImage scratch(size * ratio, QImage::Format_ARGB32_Premultiplied);
    scratch.setDevicePixelRatio(ratio);
    scratch.setDotsPerMeterX(qRound(dpi / 0.0254 * ratio));
    scratch.setDotsPerMeterY(qRound(dpi / 0.0254 * ratio));
    scratch.fill(Qt::transparent);
    {
        QPainter painter(&scratch);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QPoint(0, metrics.ascent()), text);
    }
    for (int column = scratch.width() - 1; column >= 0; --column) {
        for (int row = 0; row < scratch.height(); ++row) {
            if (qAlpha(scratch.pixel(column, row)) != 0)
                return (column + 1) / ratio;
        }
    }
    return 0;
}

} // namespace

void DrawTextTop(QPainter& painter, Type type, const QColor& color, int x, int y,
                 const QString& text)
{
    QFont font = Font(type);
    // Hinting rounds each glyph to the pixel grid of its own size, so text drawn on a denser
    // picture comes out wider than at 1x, where the layout was made for it: the difference is
    // taken from the letter spacing.
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    if (ratio > 1.0 && text.size() > 1) {
        const int dpi = qRound(painter.device()->logicalDpiX() / ratio);
        const qreal wanted = InkWidth(font, text, 1.0, dpi);
        // The spacing's effect on the drawn width is measured rather than assumed.
        const qreal spacing = font.letterSpacing();
        const qreal drawn = InkWidth(font, text, ratio, dpi);
        font.setLetterSpacing(QFont::AbsoluteSpacing, spacing + 1.0);
        const qreal perStep = InkWidth(font, text, ratio, dpi) - drawn;
        font.setLetterSpacing(QFont::AbsoluteSpacing,
                              perStep > 0 ? spacing + (wanted - drawn) / perStep : spacing);
    }
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QPoint(x, y + QFontMetrics(font).ascent()), text);
}

void DrawTextTopRight(QPainter& painter, Type type, const QColor& color, int right, int y,
                      const QString& text)
{
    DrawTextTop(painter, type, color, right - TextWidth(type, text), y, text);
}

void DrawTextCentred(QPainter& painter, Type type, const QColor& color, int x, int rowTop,
                     int rowHeight, const QString& text)
{
    const QFontMetrics metrics(Font(type));
    // Centre the x-height band rather than the full box: that is where the eye reads the middle.
    const int capTop = metrics.ascent() - metrics.capHeight();
    const int top = rowTop + (rowHeight - metrics.capHeight()) / 2 - capTop;
    DrawTextTop(painter, type, color, x, top, text);
}

void DrawTextCentredRight(QPainter& painter, Type type, const QColor& color, int right, int rowTop,
                          int rowHeight, const QString& text)
{
    DrawTextCentred(painter, type, color, right - TextWidth(type, text), rowTop, rowHeight, text);
}

void DrawParagraph(QPainter& painter, Type type, const QColor& color, const QRect& box,
                   const QString& text)
{
    painter.setFont(Font(type));
    painter.setPen(color);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
}

void PaintTitleBand(QPainter& painter, int width)
{
    QLinearGradient gradient(0, 0, 0, BandHeight);
    gradient.setColorAt(0.0, BandTop);
    gradient.setColorAt(1.0, BandBottom);
    painter.fillRect(QRect(0, 0, width, BandHeight - 2), gradient);
    painter.fillRect(QRect(0, BandHeight - 2, width, 2), Accent);

    // Faint relay waves behind the right half of the band.
    painter.save();
    painter.setClipRect(QRect(0, 0, width, BandHeight - 2));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    for (int ring = 0; ring < 5; ++ring) {
        painter.setPen(QPen(QColor(255, 255, 255, 13), 10));
        const int radius = 70 + ring * 42;
        painter.drawEllipse(QPoint(width - 150, 96), radius, radius);
    }
    painter.restore();

    PaintMark(painter, QRectF(20, 16, 44, 44), QColor(255, 255, 255), AccentLight);
    DrawTextTop(painter, Type::Product, QColor(255, 255, 255), 78, 17,
                QStringLiteral("Kelda Support Utility"));
    DrawTextTop(painter, Type::Small, QColor(0xA9, 0xC4, 0xDE), 79, 46,
                QStringLiteral("Smart Repeater Setup Wizard"));
}

void PaintSidebar(QPainter& painter)
{
    painter.fillRect(QRect(0, BandHeight, SidebarRight, WindowHeight - BandHeight), Sidebar);
    painter.fillRect(QRect(SidebarRight, BandHeight, 1, WindowHeight - BandHeight), SidebarEdge);
    DrawTextTop(painter, Type::Caption, Secondary, 25, 89, QStringLiteral("SETUP STEPS"));
}

void PaintPageChrome(QPainter& painter, const QString& title, const QString& description)
{
    painter.fillRect(QRect(0, 0, WindowWidth, WindowHeight), Content);
    PaintTitleBand(painter, WindowWidth);
    PaintSidebar(painter);
    DrawTextTop(painter, Type::Title, Heading, ContentLeft, 91, title);
    DrawTextTop(painter, Type::Label, Secondary, ContentLeft, 117, description);
    painter.fillRect(QRect(ContentLeft, 139, ContentRight - ContentLeft, 1), Rule);
}

void PaintGroupBox(QPainter& painter, const QRect& box, const QString& title)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Rule);
    painter.setBrush(Content);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.restore();
    if (!title.isEmpty())
        PaintSectionBar(painter, QRect(box.left(), box.top(), box.width(), 22), title);
}

void PaintSectionBar(QPainter& painter, const QRect& bar, const QString& title)
{
    painter.fillRect(bar, AccentPale);
    painter.fillRect(QRect(bar.left(), bar.top(), 3, bar.height()), Accent);
    DrawTextCentred(painter, Type::Heading, Heading, bar.left() + 12, bar.top(), bar.height(),
                    title);
}

void PaintHeaderBar(QPainter& painter, const QRect& bar, const QList<HeaderColumn>& columns)
{
    painter.fillRect(bar, HeaderBar);
    for (const HeaderColumn& column : columns) {
        if (column.alignRight)
            DrawTextCentredRight(painter, Type::LabelBold, QColor(255, 255, 255), column.right - 6,
                                 bar.top(), bar.height(), column.title);
        else
            DrawTextCentred(painter, Type::LabelBold, QColor(255, 255, 255), column.left + 6,
                            bar.top(), bar.height(), column.title);
    }
    // Column divider, as the list below draws grid lines at the same x.
    for (qsizetype i = 1; i < columns.size(); ++i)
        painter.fillRect(QRect(columns[i].left, bar.top() + 5, 1, bar.height() - 10),
                         QColor(255, 255, 255, 70));
}

void PaintMark(QPainter& painter, const QRectF& box, const QColor& body, const QColor& waves,
               bool simplified)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = box.width() / 44.0;
    const QPointF centre(box.center().x(), box.top() + 27 * unit);
    // Two pairs of arcs either side of a dot: a signal received and sent on.
    painter.setBrush(Qt::NoBrush);
    const int firstRing = simplified ? 2 : 1;
    const qreal weight = simplified ? 6.5 : 3.2;
    for (int ring = firstRing; ring <= 2; ++ring) {
        const qreal radius = (7 + ring * 7) * unit;
        painter.setPen(QPen(waves, weight * unit, Qt::SolidLine, Qt::RoundCap));
        const QRectF arc(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
        painter.drawArc(arc, 30 * 16, 120 * 16);
        painter.drawArc(arc, 210 * 16, 120 * 16);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(body);
    const qreal dot = simplified ? 7 : 5.2;
    painter.drawEllipse(centre, dot * unit, dot * unit);
    painter.restore();
}

void PaintButtonFace(QPainter& painter, const QRect& box, ButtonLook look, const QString& text)
{
    QColor top = AccentLight;
    QColor bottom = Accent;
    QColor ink(255, 255, 255);
    switch (look) {
    case ButtonLook::Normal:
        break;
    case ButtonLook::Hover:
        top = QColor(0x6C, 0xBC, 0xEE);
        bottom = QColor(0x34, 0x96, 0xDA);
        break;
    case ButtonLook::Pressed:
        top = QColor(0x17, 0x66, 0xA2);
        bottom = QColor(0x1B, 0x72, 0xB2);
        break;
    case ButtonLook::Disabled:
        top = QColor(0xD5, 0xDC, 0xE4);
        bottom = QColor(0xC6, 0xCF, 0xD9);
        ink = QColor(0xF4, 0xF6, 0xF9);
        break;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(box.topLeft(), box.bottomLeft());
    gradient.setColorAt(0.0, top);
    gradient.setColorAt(1.0, bottom);
    painter.setPen(QPen(bottom.darker(115), 1));
    painter.setBrush(gradient);
    painter.drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    painter.restore();
    painter.setFont(Font(Type::Button));
    painter.setPen(ink);
    painter.drawText(box, Qt::AlignCenter, text);
}

} // namespace Skin
