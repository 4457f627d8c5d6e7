#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// The cells of the access points on the device's last site survey page, seven per access point
// in page order: channel, SSID, BSSID, cipher word, WPA mode word, signal, mode. An empty cell
// is kept as " ".
extern QStringList G_mSurveyCells;

namespace Survey
{

inline constexpr int kCellsPerAccessPoint = 7;
enum Cell { Channel, SSID, BSSID, Cipher, WPAMode, Signal, Mode };

// Reads the survey page (the whole response text) into `cells`, which is emptied first, and
// answers how many access points are complete: the count the page announces, or fewer when the
// page runs out of cells. A partly read access point leaves its cells at the end of `cells`.
// Never fails; linear in the length of the page and of the cells it produces.
int ParseSurveyCells(QStringView page, QStringList& cells);

// How one access point's security is shown and what the Connect step makes of it.
struct Security {
    // String table id of the shown text; 0 for "Unknown Type", which the table does not hold.
    int textId;
    // "NONE", "WEP", "TKIP", "AES" or "Unknown".
    QStringView keyword;
};
// From the cipher word and the WPA mode word, ignoring case; the mode word decides first.
Security ClassifySecurity(QStringView cipher, QStringView wpaMode);
QString SecurityText(const Security& security);

} // namespace Survey
