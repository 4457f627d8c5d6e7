#pragma once

#include <QString>
#include <QStringView>

// The string table: every message text and layout rectangle of the program, compiled in from
// resources/strings.txt. A missing id gives a null string.
QString LoadString(int id);

// Integer value of the leading digits, as the C runtime's wide-string conversion reads it:
// blanks skipped, an optional sign, 0 when there are no digits.
int ReadLeadingInt(QStringView text);

// "left,top,width,height". A missing comma leaves that value 0 and consumes nothing, so "5"
// gives (0, 0, 0, 5).
void ParseLayoutRect(QStringView text, int& x, int& y, int& w, int& h);

// Fails and leaves the outputs untouched when the entry is missing or empty.
bool GetLayoutRect(int id, int& x, int& y, int& w, int& h);

// For tests: parse a table text the way the compiled-in one is read.
void LoadStringTableForTest(const QByteArray& utf8Text);
