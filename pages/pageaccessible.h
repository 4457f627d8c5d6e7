#pragma once

#include "resources/pagetexts.h"

#include <QString>

class QWidget;

// What screen readers learn about the pages and dialogs beyond their controls: the words the
// page pictures say, the message dialog as an alert, the progress dialog as a progress bar.
namespace PageAccessibility
{

void Install();

// The page's title as its name, the instructions of its picture as its description.
void DescribePage(QWidget* page, const PageText::Page& text);
QString Instructions(const PageText::Page& text);

// The progress dialog's percentage for the bitmap it shows (frame n of 10 is n * 10 %).
int ProgressPercent(int bitmap);
// Tells a screen reader that the progress dialog moved on.
void NotifyProgress(QWidget* progress);

} // namespace PageAccessibility
