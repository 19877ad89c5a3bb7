// The names an enumeration's values are written under (JSON, reports), as tables of
// value and name pairs.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

template <typename Enum, size_t N>
using EnumNames = std::array<std::pair<Enum, const char*>, N>;

// The value's name; the first name for a value the table lacks.
template <typename Enum, size_t N>
const char* NameOf(const EnumNames<Enum, N>& names, Enum value) {
    for (const auto& [each, name] : names) {
        if (each == value) return name;
    }
    return names[0].second;
}

// The value a name stands for; none for a name the table lacks.
template <typename Enum, size_t N>
std::optional<Enum> Named(const EnumNames<Enum, N>& names, std::string_view name) {
    for (const auto& [each, text] : names) {
        if (name == text) return each;
    }
    return std::nullopt;
}
