// The exception family the windows report in their standard error box.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// A text that should have been a number.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// Reads a 32-bit integer the way the settings windows store it ("8080", " -3",
// "$1F"); anything else throws EConvertError.
int StrToInt(std::string_view text);
