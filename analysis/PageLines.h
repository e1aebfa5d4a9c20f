// Reads a saved page the way its scanners expect: text mode (a carriage return
// before a line feed is dropped), one line at a time in pieces of at most
// kPieceBytes bytes (a longer line arrives as several pieces), each piece
// converted from EUC-JP to Shift_JIS.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

class PageLines {
public:
    static constexpr std::size_t kPieceBytes = 40959;

    explicit PageLines(const std::string& path);
    ~PageLines();
    PageLines(const PageLines&) = delete;
    PageLines& operator=(const PageLines&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    // The file's size in bytes when opened (0 when it cannot be read).
    std::uint64_t FileSize() const { return fileSize_; }

    // The next piece, converted, with its line feed when it has one; false at
    // the end. The view stays valid until the next call.
    bool Next(std::string_view& sjis);
    // The same, appended to sjis.
    bool AppendNext(std::string& sjis);

    // Where in the file the next piece starts; Seek goes back to such a place.
    std::uint64_t Offset() const { return bufferStart_ + pos_; }
    void Seek(std::uint64_t offset);

private:
    bool Fill();
    bool ReadPiece();

    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::uint64_t fileSize_ = 0;
    std::uint64_t bufferStart_ = 0; // file offset of buffer_[0]
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::string raw_;
    std::string sjis_;
};

// Finds needle in text at or after from; npos when absent.
std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from = 0);

inline bool Contains(std::string_view text, std::string_view needle)
{
    return FindText(text, needle) != std::string_view::npos;
}
