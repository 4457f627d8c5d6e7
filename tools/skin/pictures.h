#pragma once

#include <QPoint>
#include <QString>

class QPainter;

// Every picture the program loads, each painted at the origin of its own image.
namespace Skin
{

// Page backgrounds, 700 x 500.
void PaintLocatePage(QPainter& painter);
void PaintIpAddressPage(QPainter& painter);
void PaintFirmwarePage(QPainter& painter);
void PaintPasswordPage(QPainter& painter);
void PaintResetPage(QPainter& painter);
void PaintSummaryPage(QPainter& painter);
void PaintWirelessPage(QPainter& painter);
// 748 x 500: a wide start-up picture.
void PaintSplash(QPainter& painter);

// Step list entry, 175 x 33, drawn for the step's place in the list (1 to 7).
void PaintStep(QPainter& painter, int number, const QString& name, bool current);
// Title buttons, 18 x 18, over the band at their place in the window.
enum class TitleButton { Minimize, Close };
void PaintTitleButton(QPainter& painter, TitleButton button, QPoint placeInWindow, bool hover);

// Dialogs, 260 x 144.
enum class DialogMark { None, Information, Warning, Error, Question };
void PaintMessageDialog(QPainter& painter, DialogMark mark);
void PaintProgressDialog(QPainter& painter);
// A dialog button as it sits in the message dialog's footer.
enum class DialogButtonState { Normal, Hover, Pressed, Disabled };
void PaintDialogButton(QPainter& painter, const QString& text, DialogButtonState state,
                       QPoint placeInDialog);
// Progress animation, 128 x 49: frames 0 to 9 fill ten segments one by one; 10 is finished.
void PaintProgressFrame(QPainter& painter, int frame);

// Row-height bitmaps of the two lists, on white (their transparent colour).
void PaintDeviceRowBitmap(QPainter& painter, int size);
void PaintNetworkRowBitmap(QPainter& painter, int size);
// The application icon at any square size; the JPEG variant sits on white.
void PaintIcon(QPainter& painter, int size);

} // namespace Skin
