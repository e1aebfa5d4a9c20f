#include "base/HttpAddress.h"

#include "base/Text.h"

namespace {
constexpr std::string_view kHttp = "http://";
constexpr std::string_view kHttps = "https://";
constexpr std::size_t kHostBytes = 255;
} // namespace

std::string AddressMessage(std::string_view address)
{
    return std::string(SJ("正しいＵＲＬを指定してください。\n[ ")) + std::string(address) + " ]";
}

bool HasWebScheme(std::string_view text)
{
    return text.starts_with(kHttp) || text.starts_with(kHttps);
}

std::optional<HttpAddress> SplitHttpAddress(std::string_view address)
{
    if (!address.starts_with(kHttp))
        return std::nullopt;
    const std::size_t slash = address.find('/', kHttp.size());
    if (slash == std::string_view::npos)
        return std::nullopt;

    HttpAddress out;
    std::string_view hostPart = address.substr(kHttp.size(), slash - kHttp.size());
    const std::size_t colon = hostPart.find(':');
    if (colon != std::string_view::npos) {
        long port = 0;
        std::size_t i = colon + 1;
        for (; i < hostPart.size() && hostPart[i] >= '0' && hostPart[i] <= '9' && port <= 65535; ++i)
            port = port * 10 + (hostPart[i] - '0');
        if (i > colon + 1 && port >= 1 && port <= 65535)
            out.port = static_cast<int>(port);
        hostPart = hostPart.substr(0, colon);
    }
    if (hostPart.empty() || hostPart.size() > kHostBytes)
        return std::nullopt;
    out.host = std::string(hostPart);
    out.path = std::string(address.substr(slash));
    return out;
}
