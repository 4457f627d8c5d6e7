#pragma once

#include "discovery/discoverytypes.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

inline constexpr quint16 kDiscoveryPort = 13379;
inline constexpr qsizetype kDiscoveryQuerySize = 16;
inline constexpr qsizetype kMinReplySize = 424;
inline constexpr qsizetype kReceiveBufferSize = 1024;

// The 16-byte query; its first six bytes are firstField (padded with zeros or cut to six).
QByteArray BuildDiscoveryQuery(QByteArrayView firstField);

// The list key of a MAC text: apostrophes dropped, upper case, a colon after every two digits.
QString MakeMACKey(QStringView macText);

// Reads the fields of a reply of 424 to 1024 bytes; anything else is no reply.
std::optional<_STRU_AP_INFO> ParseDiscoveryReply(QByteArrayView datagram);

// Appends the device of a reply to the list unless it is no reply, the device is listed
// already, the model is not ours or the list is full. interfaceIndex: the adapter the reply
// arrived on; a device heard on several keeps the first. True when appended.
bool AcceptDiscoveryReply(QByteArrayView datagram, CFoundDevices& devices,
                          std::uint32_t interfaceIndex = 0);

// The only model this wizard drives.
inline constexpr char16_t kSupportedModel[] = u"QZ-8061Tr";
