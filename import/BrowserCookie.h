// The login cookie borrowed from the user's browser: the My Auction pages are
// private, and the program never logs in by itself.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The process-wide cookie text, captured once at start-up and sent by every
// import; never stored, parsed or edited.
class BrowserCookie {
public:
    // The cookie store's buffer, terminator included: a longer text is refused.
    static constexpr std::size_t kSize = 4096;

    const std::string& Text() const { return text_; }

    // Takes the cookies a browser would send to url. On any failure (nothing
    // found, no readable store, a text of kSize bytes or more) the text keeps
    // what it held, which at start-up is the empty string.
    void Capture(std::string_view url);

private:
    std::string text_;
};

extern BrowserCookie gBrowserCookie;

// The "name=value; name=value" text a browser would send to url ("http://" or
// "https://" address), read from the default Firefox profile (its cookies.sqlite
// with the pending -wal, copied first so a running browser's lock does not
// matter), else from the Netscape file $XDG_CONFIG_HOME/quillmere/mirelo/cookies.txt.
// Nothing when no cookie applies or no store can be read; HOME and
// XDG_CONFIG_HOME are read at each call.
std::optional<std::string> ReadBrowserCookie(std::string_view url);
