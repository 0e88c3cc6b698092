#pragma once

#include <ostream>
#include <utility>

// Test-case tables print as their name rather than as raw bytes.
namespace {
template <class T, class = decltype(std::declval<const T &>().name)>
std::ostream &operator<<(std::ostream &os, const T &c) {
    return os << c.name;
}
}  // namespace
