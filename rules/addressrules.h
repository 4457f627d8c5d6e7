#pragma once

#include <QtGlobal>
#include <array>

// What the IP address page accepts before it asks the device to take a new LAN address.
namespace AddressRules
{

// The four fields of an address entry, a blank field as 0.
using Fields = std::array<int, 4>;

inline constexpr int kAddressFirstFieldMessage = 142;
inline constexpr int kAddressFourthFieldMessage = 145;
inline constexpr int kSubnetMaskMessage = 146;

enum class Focus { None, AddressFirstField, AddressFourthField, MaskFirstField };

struct Verdict {
    // The string-table message to show; 0 when the settings may be sent.
    int messageId = 0;
    // Where the user goes on typing after the message.
    Focus focus = Focus::None;
    bool Accepted() const { return messageId == 0; }
};

// The address first (first field 1-223, fourth 1-254); the mask only once the address passed.
Verdict CheckLanSettings(const Fields& address, const Fields& mask);

quint32 MaskValue(const Fields& mask);
// Not zero, bit 0 clear, and the ones one unbroken run down from bit 31.
bool IsValidSubnetMask(quint32 mask);

} // namespace AddressRules
