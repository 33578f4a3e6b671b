// Scenario files and the journal are UTF-8; the register's text fields are
// code page 1250.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace regsim {

// Empty when the text holds a character that code page 1250 lacks.
std::optional<std::string> Utf8ToCp1250(std::string_view utf8);
// Bytes that code page 1250 leaves undefined become U+FFFD.
std::string Cp1250ToUtf8(std::string_view cp1250);

}  // namespace regsim
