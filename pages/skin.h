#pragma once

#include <array>
#include <initializer_list>

class CCTLButton;
class CPTButton;
class QWidget;

// What every page of the program has in common: the step list, the title buttons and the rule
// that places each control at a rectangle of the string table.
namespace Skin
{

enum Step { Locate, Repeater, IPAddress, Wireless, Firmware, Password, Reset, kStepCount };

struct StepLook {
    int rectId;
    // One picture for all three states: elsewhere, and on the step's own page.
    int otherPicture;
    int ownPicture;
};
inline constexpr std::array<StepLook, kStepCount> kSteps = {{{183, 214, 220},
                                                             {184, 223, 224},
                                                             {185, 218, 219},
                                                             {186, 227, 215},
                                                             {187, 216, 217},
                                                             {188, 221, 222},
                                                             {189, 225, 226}}};

// What the step pictures say, for screen readers.
inline constexpr std::array<const char16_t*, kStepCount> kStepNames = {
    u"Locate", u"Repeater", u"IP Address", u"Wireless", u"Firmware", u"Password", u"Reset"};

struct ButtonLook {
    int rectId;
    int normal;
    int hover;
    int disabled;
};
inline constexpr ButtonLook kMinimize = {502, 146, 147, 146};
inline constexpr ButtonLook kClose = {503, 150, 151, 150};

inline constexpr int kIPLabelRect = 205;
inline constexpr int kMACLabelRect = 206;

// Names the steps and the title buttons for screen readers; `ownStep` is marked as the current
// one.
void NameSkinButtons(const std::array<CPTButton*, kStepCount>& steps, int ownStep,
                     QWidget* minimize, QWidget* close);

// The Tab order of a page: its own controls as given, then the step list, then Minimize and
// Close. Controls that cannot take the focus are skipped by Qt.
void SetTabOrder(std::initializer_list<QWidget*> content,
                 const std::array<CPTButton*, kStepCount>& steps, QWidget* minimize,
                 QWidget* close);

// Moves `control` to the rectangle of string `rectId` and raises it above its siblings. A
// missing rectangle leaves the control where it is and answers false.
bool PlaceControl(QWidget* control, int rectId);

// The Enable / Disable radios that show the device's DHCP setting, read only, where the hidden
// DHCP text of rectangle `rectId` would stand. The words are part of the picture; only the
// circles are controls.
void PlaceDHCPRadios(int rectId, CCTLButton* enable, CCTLButton* disable);

} // namespace Skin
