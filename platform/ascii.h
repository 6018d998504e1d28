// ASCII letter case, free of the C locale: only 'A'..'Z' and 'a'..'z'
// change, every other byte or code unit stays. Qt sets the C locale from the
// environment, and there std::toupper/std::tolower follow it (a Turkish
// locale leaves 'i' and 'I' as they are); names in protocols, registry
// files and stored data must not depend on that.
#pragma once

#include <string>
#include <string_view>

namespace glx {

// Works for char, unsigned char and char16_t alike.
template <class C>
constexpr C asciiLower(C c) {
  return (c >= C('A') && c <= C('Z')) ? static_cast<C>(c - C('A') + C('a')) : c;
}

template <class C>
constexpr C asciiUpper(C c) {
  return (c >= C('a') && c <= C('z')) ? static_cast<C>(c - C('a') + C('A')) : c;
}

inline std::string asciiLowered(std::string text) {
  for (char& c : text) c = asciiLower(c);
  return text;
}

inline std::string asciiUppered(std::string text) {
  for (char& c : text) c = asciiUpper(c);
  return text;
}

// Equal but for ASCII letter case.
inline bool asciiEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace glx
