// The HTTP client's two text encoders: form data and MIME Base64.
#pragma once

#include <string>
#include <string_view>

// Form encoding: letters and digits unchanged, a blank as "+", every other
// byte as "%" and two lower-case hexadecimal digits.
class TNMURL {
public:
    std::string InputString;
    std::string Encode() const;
};

enum class UUMethod { uuMime };

// Base64 in lines of 45 input bytes, each line ended by CR LF.
class TNMUUProcessor {
public:
    UUMethod Method = UUMethod::uuMime;
    std::string Encode(std::string_view data) const;
};
