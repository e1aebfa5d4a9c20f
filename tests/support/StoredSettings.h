// Reading and planting values of the settings store from tests.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/Registry.h"

namespace stored {

// A number under the program's key (or another), or nothing when it cannot be read.
inline std::optional<std::int32_t> Number(std::string_view name, std::string_view key = kMireloKey)
{
    std::int32_t value = 0;
    if (ReadRegistryNumber(HKEY_LOCAL_MACHINE, key, name, value) != 0)
        return std::nullopt;
    return value;
}

inline std::optional<std::string> Text(std::string_view name, std::string_view key = kMireloKey)
{
    std::string text;
    if (ReadRegistryText(HKEY_LOCAL_MACHINE, key, name, text) != 0)
        return std::nullopt;
    return text;
}

// Stores a value as if written by hand, making the key first.
inline bool SetNumber(std::string_view name, std::int32_t value, std::string_view key = kMireloKey)
{
    return CreateRegistryKey(HKEY_LOCAL_MACHINE, key) == 0 && WriteRegistryNumber(HKEY_LOCAL_MACHINE, key, name, value) == 0;
}

inline bool SetText(std::string_view name, std::string_view text, std::string_view key = kMireloKey)
{
    return CreateRegistryKey(HKEY_LOCAL_MACHINE, key) == 0 && WriteRegistryText(HKEY_LOCAL_MACHINE, key, name, text) == 0;
}

} // namespace stored
