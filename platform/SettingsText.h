// The text form of a settings key, modelled on a registry export:
//
//   [SOFTWARE\Velmora\Quorvane3D]
//   "QuorvaneInstallDic"="/home/ann/games"
//   "report_sign"=dword:00000001
//
// Inside quotes a backslash escapes "\" and the quote, and \n and \r stand
// for line breaks, so every value keeps to its line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace platform {

struct SettingsValue {
    std::string name;
    std::variant<std::string, uint32_t> data;  // REG_SZ or REG_DWORD
};

// In file order; names are unique.
using SettingsValues = std::vector<SettingsValue>;

// nullopt when text is not a well-formed key called keyPath. Empty text is an
// empty key; of two values with one name the later one counts.
std::optional<SettingsValues> ParseSettingsText(const std::string& text,
                                                const std::string& keyPath);
std::string FormatSettingsText(const SettingsValues& values, const std::string& keyPath);

// False for a name or text that holds control characters other than tab and
// line breaks: the text form has no way to keep them.
bool IsStorableSettingsText(const std::string& text);

// Sets the value called name, adding it at the end when it is new.
void SetSettingsValue(SettingsValues& values, const std::string& name,
                      std::variant<std::string, uint32_t> data);
const SettingsValue* FindSettingsValue(const SettingsValues& values, const std::string& name);

}  // namespace platform
