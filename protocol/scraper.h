#pragma once

#include <QString>
#include <QStringView>

// Reads the device's settings out of the HTML of its pages. The device has no machine-readable
// interface, so values are cut out between fixed marker texts; each search starts where the
// previous one left off, so the markers count only in the order the pages carry them.

// A read position in a page that only ever moves forward. The page must outlive the cursor.
class CPageCursor
{
public:
    explicit CPageCursor(QStringView page) : m_page(page) {}

    // Moves to the first occurrence of the marker; stays put when it is absent.
    void SkipTo(QStringView marker);
    // Moves past the first occurrence of the marker. When it is absent the position still
    // moves by the marker's length less one (the device's pages were read that way).
    void SkipPast(QStringView marker);
    // The text in front of the first occurrence of the marker, trimmed of white space; empty
    // when the marker is absent. Does not move.
    QString TakeUntil(QStringView marker) const;

    QStringView Rest() const { return m_page.sliced(m_offset); }

private:
    // Absolute position of the first occurrence at or after the read position, or -1.
    qsizetype Find(QStringView marker) const;

    // The scrapers ask for the same few markers again and again, and an absent one would be
    // searched for to the end of the page each time. Since the position only moves forward, an
    // earlier answer stays valid as long as it lies ahead.
    struct Found {
        QStringView marker;
        qsizetype at;
    };
    mutable Found m_found[16];
    mutable int m_foundCount = 0;

    QStringView m_page;
    qsizetype m_offset = 0;
};

// First occurrence of `marker` in `text` at or after `from`; -1 when there is none.
qsizetype FindMarker(QStringView text, qsizetype from, QStringView marker);

// LAN page (/02_02_02_homenet.asp): LAN IP address, subnet mask, DHCP server state, MAC.
void ParseLanPage(const QString& page);
// Internet-side page (/02_02_01_int.asp): DNS servers, gateway, internet address and mask,
// wireless mode, SSID, security.
void ParseWanPage(const QString& page);
// Status page (/02_00_00_status.asp): firmware version.
void ParseStatusPage(const QString& page);
