#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QRect>
#include <QString>

class QPainter;

// One palette and one type family for every picture, so pages, dialogs and buttons look like
// one product.
namespace Skin
{

inline const QColor BandTop{0x10, 0x2C, 0x4A};
inline const QColor BandBottom{0x1B, 0x45, 0x6E};
inline const QColor Accent{0x1F, 0x7F, 0xC4};
inline const QColor AccentLight{0x4F, 0xA8, 0xE0};
inline const QColor AccentPale{0xE4, 0xF0, 0xFA};
inline const QColor Sidebar{0xEF, 0xF3, 0xF7};
inline const QColor SidebarEdge{0xD3, 0xDC, 0xE6};
inline const QColor Content{0xFF, 0xFF, 0xFF};
inline const QColor Rule{0xD6, 0xDE, 0xE7};
inline const QColor Heading{0x16, 0x38, 0x5C};
inline const QColor Text{0x1F, 0x2A, 0x36};
inline const QColor Secondary{0x5E, 0x6C, 0x7B};
inline const QColor HeaderBar{0x2B, 0x46, 0x66};
inline const QColor Success{0x2E, 0x9E, 0x5B};
inline const QColor Warning{0xE0, 0x8A, 0x1E};
inline const QColor Danger{0xC8, 0x3C, 0x3C};

// The program's controls draw with a 12 pixel font, so labels drawn into the pictures use the
// same size to share a baseline with the values beside them.
enum class Type {
    Label,
    LabelBold,
    Small,
    Caption,
    Heading,
    Title,
    Product,
    Button,
    Display,
    Lead
};

QFont Font(Type type);
// Loads the faces from their files, so the pictures never depend on what fontconfig substitutes.
// Needs a QGuiApplication.
bool LoadFonts(QString& error);

// Geometry shared by every page.
constexpr int WindowWidth = 700;
constexpr int WindowHeight = 500;
constexpr int BandHeight = 78;
// The sidebar ends left of the step pictures' right edge, so the current step can point into
// the page; the leftmost controls (Scan, the firmware file) start at x = 195.
constexpr int SidebarRight = 180;
constexpr int ContentLeft = 195;
constexpr int ContentRight = 688;

// Text placed with its top at y, the way the program's static texts start their first line.
void DrawTextTop(QPainter& painter, Type type, const QColor& color, int x, int y,
                 const QString& text);
// Text whose right end is at x, top at y.
void DrawTextTopRight(QPainter& painter, Type type, const QColor& color, int right, int y,
                      const QString& text);
// Text vertically centred on a control row of the given top and height.
void DrawTextCentred(QPainter& painter, Type type, const QColor& color, int x, int rowTop,
                     int rowHeight, const QString& text);
void DrawTextCentredRight(QPainter& painter, Type type, const QColor& color, int right, int rowTop,
                          int rowHeight, const QString& text);
// Wrapped paragraph inside a box.
void DrawParagraph(QPainter& painter, Type type, const QColor& color, const QRect& box,
                   const QString& text);
int TextWidth(Type type, const QString& text);

// The painted frame of every page: title band, step sidebar, white content area.
void PaintTitleBand(QPainter& painter, int width);
void PaintSidebar(QPainter& painter);
void PaintPageChrome(QPainter& painter, const QString& title, const QString& description);

// A titled box whose inside stays white, so opaque value texts do not show as patches.
void PaintGroupBox(QPainter& painter, const QRect& box, const QString& title);
// Pale bar with an accent edge that opens a section; 22 pixels high in the group boxes.
void PaintSectionBar(QPainter& painter, const QRect& bar, const QString& title);
// Dark bar naming the visible columns of a list whose own header is hidden.
struct HeaderColumn {
    int left;
    int right;
    QString title;
    bool alignRight;
};
void PaintHeaderBar(QPainter& painter, const QRect& bar, const QList<HeaderColumn>& columns);

// The product's mark: a repeater relaying waves. Small icons draw one ring of heavier waves,
// which stays readable at a few pixels.
void PaintMark(QPainter& painter, const QRectF& box, const QColor& body, const QColor& waves,
               bool simplified = false);

// A rounded push-button face.
enum class ButtonLook { Normal, Hover, Pressed, Disabled };
void PaintButtonFace(QPainter& painter, const QRect& box, ButtonLook look, const QString& text);

} // namespace Skin
