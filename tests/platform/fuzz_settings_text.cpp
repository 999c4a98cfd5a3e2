// Fuzz target: the settings file's text, read as it lies on disk, and values
// made from the same bytes, written and read back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SettingsStore.h"
#include "platform/SettingsText.h"
#include "tests/support/FuzzCheck.h"

namespace {

using platform::SettingsValue;
using platform::SettingsValues;

bool SameValues(const SettingsValues& a, const SettingsValues& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const SettingsValue& x, const SettingsValue& y) {
                          return x.name == y.name && x.data == y.data;
                      });
}

void CheckWrittenReadsBack(const SettingsValues& values) {
    const std::string written = platform::FormatSettingsText(values, platform::kGameKeyPath);
    const std::optional<SettingsValues> read =
        platform::ParseSettingsText(written, platform::kGameKeyPath);
    FUZZ_CHECK(read.has_value());
    FUZZ_CHECK(SameValues(*read, values));
}

// Fields between zero bytes, taken in pairs as name and data; a data field of
// a marker byte and four more is a number, any other a text. Names and texts
// the file cannot keep are left out, as the store refuses them.
SettingsValues ValuesFromBytes(std::string_view input) {
    constexpr char kNumberMarker = '\x01';
    std::vector<std::string> fields;
    size_t start = 0;
    while (start <= input.size()) {
        const size_t end = std::min(input.find('\0', start), input.size());
        fields.emplace_back(input.substr(start, end - start));
        start = end + 1;
    }
    SettingsValues values;
    for (size_t i = 0; i + 1 < fields.size(); i += 2) {
        const std::string& name = fields[i];
        const std::string& data = fields[i + 1];
        if (!platform::IsStorableSettingsText(name)) continue;
        if (data.size() == 5 && data[0] == kNumberMarker) {
            uint32_t number;
            std::memcpy(&number, data.data() + 1, sizeof number);
            platform::SetSettingsValue(values, name, number);
        } else if (platform::IsStorableSettingsText(data)) {
            platform::SetSettingsValue(values, name, data);
        }
    }
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    if (const std::optional<SettingsValues> read =
            platform::ParseSettingsText(input, platform::kGameKeyPath)) {
        for (size_t i = 0; i < read->size(); ++i) {
            for (size_t j = i + 1; j < read->size(); ++j) {
                FUZZ_CHECK((*read)[i].name != (*read)[j].name);
            }
        }
        CheckWrittenReadsBack(*read);
    }
    CheckWrittenReadsBack(ValuesFromBytes(input));
    return 0;
}
