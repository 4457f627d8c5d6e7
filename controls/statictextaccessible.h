#pragma once

class QWidget;

// Screen readers read the skin's painted texts as static text: the words shown are the object's
// name and its text, and the page may add what the picture says beside them as the description.
void InstallStaticTextAccessibility();

// Tells a screen reader that the words shown by `widget` changed.
void NotifyStaticTextChanged(QWidget* widget);
