#include "tools/skin/pictures.h"
#include "tools/skin/skinstyle.h"

#include <QPainter>
#include <QPainterPath>

namespace Skin
{
namespace
{

// The console pages show the connected device's addresses at 25,430 and 25,465 (160 x 20).
void PaintDeviceCaptions(QPainter& painter)
{
    painter.fillRect(QRect(15, 396, 150, 1), SidebarEdge);
    DrawTextTop(painter, Type::Caption, Secondary, 25, 404, QStringLiteral("CONNECTED REPEATER"));
    DrawTextTop(painter, Type::Small, Secondary, 25, 417, QStringLiteral("MAC Address"));
    DrawTextTop(painter, Type::Small, Secondary, 25, 452, QStringLiteral("IP Address"));
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
    PaintPageChrome(painter, QStringLiteral("Locate Smart Repeater"),
                    QStringLiteral("Search your network for Smart Repeaters and connect to one "
                                   "to set it up."));
    // The sidebar has no device yet: a short guide stands where the addresses go later.
    painter.fillRect(QRect(15, 396, 150, 1), SidebarEdge);
    DrawParagraph(painter, Type::Small, Secondary, QRect(25, 406, 145, 80),
                  QStringLiteral("Connect the Smart Repeater to power and to this computer's "
                                 "network, then click Scan."));

    DrawTextTop(painter, Type::Heading, Heading, ContentLeft, 206,
                QStringLiteral("Smart Repeaters on your network"));
    // The list's columns: MAC Address from x = 196, 259 wide; IP Address 198 wide, right-aligned.
    PaintHeaderBar(painter, QRect(196, 226, 472, 22),
                   {{196, 455, QStringLiteral("MAC Address"), false},
                    {455, 653, QStringLiteral("IP Address"), true}});
    PaintHint(painter, 456,
              QStringLiteral("Select a Smart Repeater in the list, then click Connect."));
}

void PaintIpAddressPage(QPainter& painter)
{
    PaintPageChrome(painter, QStringLiteral("IP Address Settings"),
                    QStringLiteral("Give the Smart Repeater a new address on your local network."));
    PaintDeviceCaptions(painter);

    const int labelRight = 370; // values and entries start at x = 380
    PaintGroupBox(painter, QRect(ContentLeft, 170, ContentRight - ContentLeft, 112),
                  QStringLiteral("Current Settings"));
    DrawTextTopRight(painter, Type::Label, Secondary, labelRight, 202,
                     QStringLiteral("IP Address"));
    DrawTextTopRight(painter, Type::Label, Secondary, labelRight, 230,
                     QStringLiteral("Subnet Mask"));
    DrawTextCentredRight(painter, Type::Label, Secondary, labelRight, 255, 15,
                         QStringLiteral("DHCP Server"));
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
    PaintHint(painter, 437, QStringLiteral("The Smart Repeater restarts with its new address."));
}

void PaintFirmwarePage(QPainter& painter)
{
    PaintPageChrome(painter, QStringLiteral("Firmware Upgrade"),
                    QStringLiteral("Install new firmware on the Smart Repeater."));
    PaintDeviceCaptions(painter);

    PaintSectionBar(painter, QRect(ContentLeft, 144, ContentRight - ContentLeft, 22),
                    QStringLiteral("Current Firmware Version"));
    // The version value starts at x = 240: too close to the page edge for a word, so a chip.
    PaintChip(painter, QRect(212, 167, 18, 18));

    PaintSectionBar(painter, QRect(ContentLeft, 200, ContentRight - ContentLeft, 22),
                    QStringLiteral("Upgrade Firmware"));
    DrawParagraph(painter, Type::Label, Text, QRect(ContentLeft, 270, 480, 60),
                  QStringLiteral("1.  Click Browse and choose the firmware file.\n"
                                 "2.  Click Apply to send it to the Smart Repeater."));
    PaintNote(painter, QRect(ContentLeft, 318, ContentRight - ContentLeft, 52), Warning,
              QStringLiteral("The upgrade takes about two minutes. Do not switch the Smart "
                             "Repeater off or close this program until the Locate step is "
                             "shown again."));
}

void PaintPasswordPage(QPainter& painter)
{
    PaintPageChrome(painter, QStringLiteral("Administrator Password"),
                    QStringLiteral("Change the password that protects the Smart Repeater's "
                                   "settings."));
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
    PaintHint(painter, 412,
              QStringLiteral("Use up to 30 characters. Connect again with the new "
                             "password after the change."));
}

void PaintResetPage(QPainter& painter)
{
    PaintPageChrome(painter, QStringLiteral("Reboot or Factory Reset"),
                    QStringLiteral("Restart the Smart Repeater, or return it to its factory "
                                   "settings."));
    PaintDeviceCaptions(painter);

    // Radios at 255,165 and 255,210 (19 x 19); their label areas start at x = 280.
    PaintRadioWord(painter, 278, 165, 19, QStringLiteral("Reboot"), Type::LabelBold);
    DrawTextTop(painter, Type::Small, Secondary, 282, 187,
                QStringLiteral("Restarts the Smart Repeater. Its settings are kept."));
    PaintRadioWord(painter, 278, 210, 19, QStringLiteral("Factory Reset"), Type::LabelBold);
    DrawTextTop(painter, Type::Small, Secondary, 282, 232,
                QStringLiteral("Erases every setting and restores the factory defaults."));
    PaintNote(painter, QRect(ContentLeft, 310, ContentRight - ContentLeft, 52), Warning,
              QStringLiteral("After a factory reset the Smart Repeater has its default address "
                             "and password. Find it again on the Locate step."));
}

void PaintSummaryPage(QPainter& painter)
{
    PaintPageChrome(painter, QStringLiteral("Repeater Settings"),
                    QStringLiteral("The settings the Smart Repeater reported when you connected."));
    PaintDeviceCaptions(painter);

    const int labelRight = 392; // the value column starts at x = 400
    PaintGroupBox(painter, QRect(ContentLeft, 152, ContentRight - ContentLeft, 343),
                  QStringLiteral("Current Settings"));
    const struct {
        int top;
        const char16_t* label;
    } current[] = {{180, u"MAC Address"},
                   {201, u"Firmware"},
                   {222, u"Local (Home) IP Address"},
                   {243, u"Subnet"}};
    for (const auto& row : current)
        DrawTextTopRight(painter, Type::Label, Secondary, labelRight, row.top,
                         QString::fromUtf16(row.label));
    // The DHCP radios stand at 400,264 and 470,264, 15 x 15.
    DrawTextCentredRight(painter, Type::Label, Secondary, labelRight, 264, 15,
                         QStringLiteral("DHCP"));
    PaintRadioWord(painter, 415, 264, 15, QStringLiteral("Enable"));
    PaintRadioWord(painter, 485, 264, 15, QStringLiteral("Disable"));

    PaintSectionBar(painter, QRect(ContentLeft, 292, ContentRight - ContentLeft, 22),
                    QStringLiteral("Internet (WAN)"));
    const struct {
        int top;
        const char16_t* label;
    } internet[] = {{318, u"Mode"},           {339, u"Security"}, {360, u"IP Address"},
                    {381, u"Internet (WAN)"}, {402, u"Subnet"},   {423, u"Gateway"},
                    {444, u"DNS 1"},          {467, u"DNS 2"}};
    for (const auto& row : internet)
        DrawTextTopRight(painter, Type::Label, Secondary, labelRight, row.top,
                         QString::fromUtf16(row.label));
}

void PaintWirelessPage(QPainter& painter)
{
    PaintPageChrome(painter, QStringLiteral("Wireless Internet Connection (WAN) Setting"),
                    QStringLiteral("Choose the wireless network that the Smart Repeater extends."));
    PaintDeviceCaptions(painter);

    PaintGroupBox(painter, QRect(ContentLeft, 150, ContentRight - ContentLeft, 108),
                  QStringLiteral("Current Settings"));
    DrawTextTopRight(painter, Type::Label, Secondary, 312, 185, QStringLiteral("SSID"));
    DrawTextTopRight(painter, Type::Label, Secondary, 312, 207, QStringLiteral("Security"));
    DrawTextTopRight(painter, Type::Label, Secondary, 312, 230, QStringLiteral("IP Address"));
    DrawTextTopRight(painter, Type::Label, Secondary, 512, 185, QStringLiteral("Subnet"));
    DrawTextTopRight(painter, Type::Label, Secondary, 512, 207, QStringLiteral("Gateway"));
    DrawTextTopRight(painter, Type::Label, Secondary, 512, 228, QStringLiteral("DNS"));

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
