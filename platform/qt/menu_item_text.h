#pragma once

#include <QString>
#include <Qt>
#include <string_view>

namespace platform::qt {

// A menu title as Qt should show it: every '&' doubled, so that none becomes a mnemonic.
QString menuTitleText(std::string_view title);

// How a key equivalent reads in the menu's shortcut column: "b" is "Super+B", an upper-case
// letter adds Shift. Empty for no key equivalent.
QString keyEquivalentText(std::string_view keyEquivalent);

// Whether a key press is the key equivalent: Super held, Control and Alt not, Shift exactly
// when the equivalent is an upper-case letter.
bool matchesKeyEquivalent(std::string_view keyEquivalent, int key, Qt::KeyboardModifiers modifiers);

// The slider's integer position for a value, and back: positions are hundredths, so that the
// ends and the start of the range are exact.
int sliderPosition(double value);
double sliderValue(int position);

}  // namespace platform::qt
