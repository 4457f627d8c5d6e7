#pragma once

#include <QStringView>

// What the console makes of a finished command's response text.

// A usable answer: "HTTP" and "200" anywhere in it. Judged as loosely as the device's answers
// always have been; nothing else of the status line is looked at.
bool IsResponseOK(QStringView response);

// Whether the device's answer came back whole: the connection ended normally, or the time-out
// ended a connection the device kept open, with the head complete and no fewer body characters
// than the answer's own Content-Length announced. A reset, a failed route or a connect that
// never came means nothing whole arrived.
bool IsAnswerWhole(int dwResult, QStringView response);

// Usable and whole: the only answer a page may act on as the device's acceptance.
inline bool IsAnswerAccepted(int dwResult, QStringView response)
{
    return IsResponseOK(response) && IsAnswerWhole(dwResult, response);
}
