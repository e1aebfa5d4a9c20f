// Auction and My Auction addresses: "http://", host, optional ":" and port,
// then the path from the first "/" after the host.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct HttpAddress {
    std::string host; // at most 255 bytes
    int port = 80;
    std::string path; // from the first "/" after the host, query included
};

// True when the text begins with "http://" or "https://" (case-sensitive).
bool HasWebScheme(std::string_view text);

// "正しいＵＲＬを指定してください。" with the address that cannot be used, on a
// second line in brackets (Shift_JIS).
std::string AddressMessage(std::string_view address);

// Splits an "http://" address. Empty when it cannot be fetched: an "https://"
// address (there is no TLS), no "/" after the host, an empty host or one longer
// than 255 bytes. A port that is not a number, or not a TCP port, means 80.
std::optional<HttpAddress> SplitHttpAddress(std::string_view address);
