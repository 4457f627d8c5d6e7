#pragma once

#include <QString>

// Basic authorisation value: standard Base64 of the text's 8-bit form (up to a zero byte).
QString EncodeBase64(QStringView text);
