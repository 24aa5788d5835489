// Number scanning shared by the text formats.
#pragma once

#include <charconv>

namespace trimeo {

// std::from_chars, also taking the leading '+' that text formats write and from_chars refuses.
template <class T>
std::from_chars_result scanNumber(const char* first, const char* last, T& out) {
    if (first < last && *first == '+') ++first;
    return std::from_chars(first, last, out);
}

} // namespace trimeo
