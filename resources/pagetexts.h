#pragma once

#include <array>

// What the page pictures say in words: tools/skin draws these texts into the backgrounds, and
// the pages give the same words to screen readers, which cannot read a picture.
namespace PageText
{

struct Page {
    const char16_t* title;
    // The line under the title, then any further instructions the picture gives, in reading
    // order; unused places stay null.
    std::array<const char16_t*, 4> instructions;
};

inline constexpr Page kLocate = {
    u"Locate Smart Repeater",
    {u"Search your network for Smart Repeaters and connect to one to set it up.",
     u"Connect the Smart Repeater to power and to this computer's network, then click Scan.",
     u"Select a Smart Repeater in the list, then click Connect."}};

inline constexpr Page kSummary = {
    u"Repeater Settings", {u"The settings the Smart Repeater reported when you connected."}};

inline constexpr Page kIPAddress = {
    u"IP Address Settings",
    {u"Give the Smart Repeater a new address on your local network.",
     u"The Smart Repeater restarts with its new address."}};

inline constexpr Page kWireless = {
    u"Wireless Internet Connection (WAN) Setting",
    {u"Choose the wireless network that the Smart Repeater extends."}};

inline constexpr Page kFirmware = {
    u"Firmware Upgrade",
    {u"Install new firmware on the Smart Repeater.",
     u"1.  Click Browse and choose the firmware file.\n"
     u"2.  Click Apply to send it to the Smart Repeater.",
     u"The upgrade takes about two minutes. Do not switch the Smart Repeater off or close this "
     u"program until the Locate step is shown again."}};

inline constexpr Page kPassword = {
    u"Administrator Password",
    {u"Change the password that protects the Smart Repeater's settings.",
     u"Use up to 30 characters. Connect again with the new password after the change."}};

inline constexpr Page kReset = {
    u"Reboot or Factory Reset",
    {u"Restart the Smart Repeater, or return it to its factory settings.",
     u"Restarts the Smart Repeater. Its settings are kept.",
     u"Erases every setting and restores the factory defaults.",
     u"After a factory reset the Smart Repeater has its default address and password. Find it "
     u"again on the Locate step."}};

// The captions of the connected device's addresses at the bottom left of the console pages.
inline constexpr const char16_t* kDeviceMACAddress = u"MAC Address";
inline constexpr const char16_t* kDeviceIPAddress = u"IP Address";

// The labels in front of the summary's thirteen values, in control order (the DHCP text is
// hidden; its radios carry the words).
inline constexpr std::array<const char16_t*, 13> kSummaryLabels = {
    u"MAC Address", u"Firmware",   u"Local (Home) IP Address",
    u"Subnet",      u"DHCP",       u"Mode",
    u"Security",    u"IP Address", u"SSID",
    u"Subnet",      u"Gateway",    u"DNS 1",
    u"DNS 2"};

// The wireless page's current settings, in control order.
inline constexpr std::array<const char16_t*, 6> kWirelessLabels = {
    u"SSID", u"Security", u"IP Address", u"Subnet", u"Gateway", u"DNS"};

// The IP address page's current settings, in control order.
inline constexpr std::array<const char16_t*, 3> kLanLabels = {u"IP Address", u"Subnet Mask",
                                                              u"DHCP Server"};

inline constexpr const char16_t* kFirmwareVersion = u"Current Firmware Version";

} // namespace PageText
