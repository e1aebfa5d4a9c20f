#include "net/Encoders.h"

#include <QByteArray>

std::string TNMURL::Encode() const
{
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(InputString.size() * 3);
    for (unsigned char c : InputString) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string TNMUUProcessor::Encode(std::string_view data) const
{
    constexpr std::size_t kLine = 45;
    std::string out;
    for (std::size_t at = 0; at < data.size(); at += kLine) {
        const std::string_view piece = data.substr(at, kLine);
        out += QByteArray(piece.data(), qsizetype(piece.size())).toBase64().toStdString();
        out += "\r\n";
    }
    return out;
}
