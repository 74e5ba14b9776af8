#include "SettingsTable.h"

#include <charconv>

#include "SettingText.h"

namespace settings {

bool IsOn(Id id, std::string_view text) {
  const Setting& setting = Of(id);
  switch (setting.reading) {
    case Reading::ExactlyOne: return folvarek::IsFlagSet(text);
    case Reading::AboveZero: return folvarek::ReadNumber(text) > 0.0;
    case Reading::NotZero: return folvarek::ReadNumber(text) != 0.0;
    case Reading::OnText: return text == setting.on;
    case Reading::Text: break;
  }
  return false;
}

int KeyLengthBits(std::string_view text) {
  const Setting& keyLength = Of(Id::KeyLength);
  const std::string_view bits = IsOn(Id::KeyLength, text) ? keyLength.on : keyLength.off;
  int number = 0;
  std::from_chars(bits.data(), bits.data() + bits.size(), number);
  return number;
}

}  // namespace settings
