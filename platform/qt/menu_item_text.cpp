#include "platform/qt/menu_item_text.h"

#include <cmath>

namespace platform::qt {

namespace {
constexpr double kSliderStepsPerUnit = 100.0;

bool isAsciiUpper(char c) {
  return c >= 'A' && c <= 'Z';
}

char asciiLower(char c) {
  return isAsciiUpper(c) ? static_cast<char>(c - 'A' + 'a') : c;
}
}  // namespace

QString menuTitleText(std::string_view title) {
  QString text = QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
  text.replace(QLatin1Char('&'), QLatin1String("&&"));
  return text;
}

QString keyEquivalentText(std::string_view keyEquivalent) {
  if (keyEquivalent.empty()) return {};
  QString text = QStringLiteral("Super+");
  if (keyEquivalent.size() == 1 && isAsciiUpper(keyEquivalent.front())) {
    text += QStringLiteral("Shift+");
  }
  return text +
         QString::fromUtf8(keyEquivalent.data(), static_cast<qsizetype>(keyEquivalent.size()))
             .toUpper();
}

bool matchesKeyEquivalent(std::string_view keyEquivalent, int key,
                          Qt::KeyboardModifiers modifiers) {
  if (keyEquivalent.size() != 1) return false;
  const char wanted = asciiLower(keyEquivalent.front());
  if (wanted < 'a' || wanted > 'z') return false;
  if (key != Qt::Key_A + (wanted - 'a')) return false;
  if (!modifiers.testFlag(Qt::MetaModifier)) return false;
  if (modifiers.testFlag(Qt::ControlModifier) || modifiers.testFlag(Qt::AltModifier)) {
    return false;
  }
  return modifiers.testFlag(Qt::ShiftModifier) == isAsciiUpper(keyEquivalent.front());
}

int sliderPosition(double value) {
  return static_cast<int>(std::lround(value * kSliderStepsPerUnit));
}

double sliderValue(int position) {
  return position / kSliderStepsPerUnit;
}

}  // namespace platform::qt
