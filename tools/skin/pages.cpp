#include "resources/pagetexts.h"
#include "tools/skin/pictures.h"
#include "tools/skin/skinstyle.h"

#include <QPainter>
#include <QPainterPath>

namespace Skin
{
namespace
{

QString Words(const char16_t* text)
{
    return QString::fromUtf16(text);
}

void PaintChrome(QPainter& painter, const PageText::Page& page)
{
    PaintPageChrome(painter, Words(page.title), Words(page.instructions[0]));
}

// The console pages show the connected device's addresses at 25,430 and 25,465 (160 x 20).
void PaintDeviceCaptions(QPainter& painter)
{
    painter.fillRect(QRect(15, 396, 150, 1), SidebarEdge);
    DrawTextTop(painter, Type::Caption, Secondary, 25, 404, QStringLiteral("CONNECTED REPEATER"));
    DrawTextTop(painter, Type::Small, Secondary, 25, 417, Words(PageText::kDeviceMACAddress));
    DrawTextTop(painter, Type::Small, Secondary, 25, 452, Words(PageText::kDeviceIPAddress));
}

void PaintHint(QPainter& painter, int y, const QString& text)
{
    DrawTextTop(painter, Type::Small, Secondary, ContentLeft, y, text);
}

// Label right of a radio box (label areas of the pages start a few pixels after the box).
void PaintRadioWord(QPainter& painter, int boxRight, int rowTop, int rowHeight, const QString& text,
                    Type type = Type::Label)
{
    DrawTextCentred(painter, type, Text, boxRight + 4, rowTop, rowHeight, text);
}

void PaintNote(QPainter& painter, const QRect& box, const QColor& mark, const QString& text)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(mark.red(), mark.green(), mark.blue(), 24));
    painter.drawRoundedRect(QRectF(box), 4, 4);
    painter.setBrush(mark);
    painter.drawRoundedRect(QRectF(box.left(), box.top(), 3, box.height()), 1.5, 1.5);
    // Exclamation mark in a circle.
    const QPointF centre(box.left() + 20, box.top() + 17);
    painter.drawEllipse(centre, 8, 8);
    painter.restore();
    DrawTextTop(painter, Type::LabelBold, QColor(255, 255, 255), int(centre.x()) - 2,
                int(centre.y()) - 7, QStringLiteral("!"));
    DrawParagraph(painter, Type::Small, Text, box.adjusted(38, 9, -10, -6), text);
}

void PaintChip(QPainter& painter, const QRect& box)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Secondary, 1.4, Qt::SolidLine, Qt::RoundCap));
    const QRectF body = QRectF(box).adjusted(4, 4, -4, -4);
    for (int pin = 0; pin < 3; ++pin) {
        const qreal offset = body.top() + 2 + pin * (body.height() - 4) / 2;
        painter.drawLine(QPointF(box.left() + 1, offset), QPointF(body.left(), offset));
        painter.drawLine(QPointF(body.right(), offset), QPointF(box.right(), offset));
        const qreal across = body.left() + 2 + pin * (body.width() - 4) / 2;
        painter.drawLine(QPointF(across, box.top() + 1), QPointF(across, body.top()));
        painter.drawLine(QPointF(across, body.bottom()), QPointF(across, box.bottom()));
    }
    painter.setBrush(AccentPale);
    painter.drawRoundedRect(body, 1.5, 1.5);
    painter.restore();
}

} // namespace

void PaintLocatePage(QPainter& painter)
{
    PaintChrome(painter, PageText::kLocate);
    // The sidebar has no device yet: a short guide stands where the addresses go later.
    painter.fillRect(QRect(15, 396, 150, 1), SidebarEdge);
    DrawParagraph(painter, Type::Small, Secondary, QRect(25, 406, 145, 80),
                  Words(PageText::kLocate.instructions[1]));

    DrawTextTop(painter, Type::Heading, Heading, ContentLeft, 206,
                QStringLiteral("Smart Repeaters on your network"));
    // The list's columns: MAC Address from x = 196, 259 wide; IP Address 198 wide, right-aligned.
    PaintHeaderBar(painter, QRect(196, 226, 472, 22),
                   {{196, 455, QStringLiteral("MAC Address"), false},
                    {455, 653, QStringLiteral("IP Address"), true}});
    PaintHint(painter, 456, Words(PageText::kLocate.instructions[2]));
}

void PaintIpAddressPage(QPainter& painter)
{
    PaintChrome(painter, PageText::kIPAddress);
    PaintDeviceCaptions(painter);

    const int labelRight = 370; // values and entries start at x = 380
    PaintGroupBox(painter, QRect(ContentLeft, 170, ContentRight - ContentLeft, 112),
                  QStringLiteral("Current Settings"));
    DrawTextTopRight(painter, Type::Label, Secondary, labelRight, 202,
                     Words(PageText::kLanLabels[0]));
    DrawTextTopRight(painter, Type::Label, Secondary, labelRight, 230,
                     Words(PageText::kLanLabels[1]));
    DrawTextCentredRight(painter, Type::Label, Secondary, labelRight, 255, 15,
                         Words(PageText::kLanLabels[2]));
    PaintRadioWord(painter, 395, 255, 15, QStringLiteral("Enable"));
    PaintRadioWord(painter, 465, 255, 15, QStringLiteral("Disable"));

    PaintGroupBox(painter, QRect(ContentLeft, 300, ContentRight - ContentLeft, 122),
                  QStringLiteral("New Settings"));
    DrawTextCentredRight(painter, Type::Label, Secondary, labelRight, 335, 23,
                         QStringLiteral("IP Address"));
    DrawTextCentredRight(painter, Type::Label, Secondary, labelRight, 365, 23,
                         QStringLiteral("Subnet Mask"));
    DrawTextCentredRight(painter, Type::Label, Secondary, labelRight, 395, 19,
                         QStringLiteral("Address"));
    PaintRadioWord(painter, 399, 395, 19, QStringLiteral("Auto IP"), Type::Small);
    PaintRadioWord(painter, 469, 395, 19, QStringLiteral("Static IP"), Type::Small);
    PaintHint(painter, 437, Words(PageText::kIPAddress.instructions[1]));
}

void PaintFirmwarePage(QPainter& painter)
{
    PaintChrome(painter, PageText::kFirmware);
    PaintDeviceCaptions(painter);

    PaintSectionBar(painter, QRect(ContentLeft, 144, ContentRight - ContentLeft, 22),
                    Words(PageText::kFirmwareVersion));
    // The version value starts at x = 240: too close to the page edge for a word, so a chip.
    PaintChip(painter, QRect(212, 167, 18, 18));

    PaintSectionBar(painter, QRect(ContentLeft, 200, ContentRight - ContentLeft, 22),
                    QStringLiteral("Upgrade Firmware"));
    DrawParagraph(painter, Type::Label, Text, QRect(ContentLeft, 270, 480, 60),
                  Words(PageText::kFirmware.instructions[1]));
    PaintNote(painter, QRect(ContentLeft, 318, ContentRight - ContentLeft, 52), Warning,
              Words(PageText::kFirmware.instructions[2]));
}

void PaintPasswordPage(QPainter& painter)
{
    PaintChrome(painter, PageText::kPassword);
    PaintDeviceCaptions(painter);

    const int labelRight = 368; // entries start at x = 377
    PaintSectionBar(painter, QRect(ContentLeft, 158, ContentRight - ContentLeft, 22),
                    QStringLiteral("Current Login"));
    DrawTextCentredRight(painter, Type::Label, Secondary, labelRight, 200, 23,
                         QStringLiteral("User Name"));
    DrawTextCentredRight(painter, Type::Label, Secondary, labelRight, 230, 23,
                         QStringLiteral("Current Password"));

    PaintSectionBar(painter, QRect(ContentLeft, 276, ContentRight - ContentLeft, 22),
                    QStringLiteral("New Password"));
    DrawTextCentredRight(painter, Type::Label, Secondary, labelRight, 310, 23,
                         QStringLiteral("New Password"));
    DrawTextCentredRight(painter, Type::Label, Secondary, labelRight, 340, 23,
                         QStringLiteral("Confirm Password"));
    PaintHint(painter, 412, Words(PageText::kPassword.instructions[1]));
}

void PaintResetPage(QPainter& painter)
{
    PaintChrome(painter, PageText::kReset);
    PaintDeviceCaptions(painter);

    // Radios at 255,165 and 255,210 (19 x 19); their label areas start at x = 280.
    PaintRadioWord(painter, 278, 165, 19, QStringLiteral("Reboot"), Type::LabelBold);
    DrawTextTop(painter, Type::Small, Secondary, 282, 187, Words(PageText::kReset.instructions[1]));
    PaintRadioWord(painter, 278, 210, 19, QStringLiteral("Factory Reset"), Type::LabelBold);
    DrawTextTop(painter, Type::Small, Secondary, 282, 232, Words(PageText::kReset.instructions[2]));
    PaintNote(painter, QRect(ContentLeft, 310, ContentRight - ContentLeft, 52), Warning,
              Words(PageText::kReset.instructions[3]));
}

void PaintSummaryPage(QPainter& painter)
{
    PaintChrome(painter, PageText::kSummary);
    PaintDeviceCaptions(painter);

    const int labelRight = 392; // the value column starts at x = 400
    PaintGroupBox(painter, QRect(ContentLeft, 152, ContentRight - ContentLeft, 343),
                  QStringLiteral("Current Settings"));
    // Rows at the tops of the values' layout rectangles, in control order.
    const int tops[] = {180, 201, 222, 243, 264, 318, 339, 360, 381, 402, 423, 444, 467};
    const auto& labels = PageText::kSummaryLabels;
    const int dhcp = 4;
    for (int row = 0; row < dhcp; ++row)
        DrawTextTopRight(painter, Type::Label, Secondary, labelRight, tops[row],
                         Words(labels[size_t(row)]));
    // The DHCP radios stand at 400,264 and 470,264, 15 x 15.
    DrawTextCentredRight(painter, Type::Label, Secondary, labelRight, tops[dhcp], 15,
                         Words(labels[dhcp]));
    PaintRadioWord(painter, 415, 264, 15, QStringLiteral("Enable"));
    PaintRadioWord(painter, 485, 264, 15, QStringLiteral("Disable"));

    PaintSectionBar(painter, QRect(ContentLeft, 292, ContentRight - ContentLeft, 22),
                    QStringLiteral("Internet (WAN)"));
    for (int row = dhcp + 1; row < int(labels.size()); ++row)
        DrawTextTopRight(painter, Type::Label, Secondary, labelRight, tops[row],
                         Words(labels[size_t(row)]));
}

void PaintWirelessPage(QPainter& painter)
{
    PaintChrome(painter, PageText::kWireless);
    PaintDeviceCaptions(painter);

    PaintGroupBox(painter, QRect(ContentLeft, 150, ContentRight - ContentLeft, 108),
                  QStringLiteral("Current Settings"));
    // Two columns of three, in control order.
    const QPoint ends[] = {{312, 185}, {312, 207}, {312, 230}, {512, 185}, {512, 207}, {512, 228}};
    for (size_t i = 0; i < PageText::kWirelessLabels.size(); ++i)
        DrawTextTopRight(painter, Type::Label, Secondary, ends[i].x(), ends[i].y(),
                         Words(PageText::kWirelessLabels[i]));

    DrawTextCentred(painter, Type::Heading, Heading, ContentLeft, 265, 23,
                    QStringLiteral("Search for a new Wireless Internet Connection"));
    // List at 225,317, 430 wide: SSID 236 pixels, then the security text 172 pixels.
    PaintHeaderBar(
        painter, QRect(225, 295, 430, 22),
        {{225, 461, QStringLiteral("SSID"), false}, {461, 655, QStringLiteral("Security"), false}});
    // No room left of the key entry at x = 230 (the sidebar ends at 180): the label sits above it.
    DrawTextTop(painter, Type::LabelBold, Text, 230, 437, QStringLiteral("Security Key"));
}

void PaintSplash(QPainter& painter)
{
    const int width = 748;
    painter.fillRect(QRect(0, 0, width, WindowHeight), Content);
    QLinearGradient gradient(0, 0, 0, WindowHeight);
    gradient.setColorAt(0.0, BandTop);
    gradient.setColorAt(1.0, BandBottom);
    painter.fillRect(QRect(0, 0, width, WindowHeight), gradient);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    for (int ring = 0; ring < 7; ++ring) {
        painter.setPen(QPen(QColor(255, 255, 255, 12), 16));
        const int radius = 120 + ring * 70;
        painter.drawEllipse(QPoint(width - 120, WindowHeight + 40), radius, radius);
    }
    painter.restore();
    PaintMark(painter, QRectF(80, 150, 132, 132), QColor(255, 255, 255), AccentLight);
    DrawTextTop(painter, Type::Display, QColor(255, 255, 255), 246, 188,
                QStringLiteral("Kelda Support Utility"));
    DrawTextTop(painter, Type::Lead, QColor(0xA9, 0xC4, 0xDE), 248, 236,
                QStringLiteral("Set up your Smart Repeater in a few steps."));
    painter.fillRect(QRect(0, WindowHeight - 4, width, 4), Accent);
}

} // namespace Skin
