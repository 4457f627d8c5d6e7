#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

// The scrapers' reading, written the plain way: a working copy that loses characters at its
// front. The real scrapers search ahead with a cache instead; both must read the same values.
class CReferencePage
{
public:
    explicit CReferencePage(QString page) : m_text(std::move(page)) {}

    void SkipTo(QStringView marker);
    void SkipPast(QStringView marker);
    QString TakeUntil(QStringView marker) const;

private:
    QString m_text;
};

struct SReferenceValues {
    QString lanIP, lanMask, dhcp, lanMAC;
    QString dns1, dns2, gateway, wanIP, wanMask, mode, ssid, security;
    QString firmware;
};

SReferenceValues ReferenceLanPage(const QString& page);
SReferenceValues ReferenceWanPage(const QString& page);
SReferenceValues ReferenceStatusPage(const QString& page);

// Decodes the input as the session does and checks the named scraper against the reference.
void CheckLanPage(const std::uint8_t* data, std::size_t size);
void CheckWanPage(const std::uint8_t* data, std::size_t size);
void CheckStatusPage(const std::uint8_t* data, std::size_t size);
