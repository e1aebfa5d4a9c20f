#include "analysis/PageLines.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

#include "analysis/ConvertEucToSjis.h"

PageLines::PageLines(const std::string& path) : file_(std::fopen(path.c_str(), "rb"))
{
    if (!file_)
        return;
    struct stat info {};
    if (fstat(fileno(file_), &info) == 0 && info.st_size > 0)
        fileSize_ = static_cast<std::uint64_t>(info.st_size);
    // A small page needs no large buffer; a file still growing is read in
    // turns of this size all the same.
    buffer_.resize(static_cast<std::size_t>(std::clamp<std::uint64_t>(fileSize_ + 1, 4096, 64 * 1024)));
}

PageLines::~PageLines()
{
    if (file_)
        std::fclose(file_);
}

bool PageLines::Fill()
{
    bufferStart_ += end_;
    pos_ = 0;
    end_ = file_ ? std::fread(buffer_.data(), 1, buffer_.size(), file_) : 0;
    return end_ > 0;
}

void PageLines::Seek(std::uint64_t offset)
{
    if (!file_ || fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0)
        return;
    bufferStart_ = offset;
    pos_ = end_ = 0;
}

bool PageLines::ReadPiece()
{
    raw_.clear();
    while (raw_.size() < kPieceBytes) {
        if (pos_ == end_ && !Fill())
            break;
        const char* p = buffer_.data() + pos_;
        const std::size_t avail = std::min(end_ - pos_, kPieceBytes - raw_.size());
        if (const void* nl = std::memchr(p, '\n', avail)) {
            const std::size_t len = static_cast<std::size_t>(static_cast<const char*>(nl) - p) + 1;
            raw_.append(p, len);
            pos_ += len;
            if (raw_.size() >= 2 && raw_[raw_.size() - 2] == '\r')
                raw_.erase(raw_.size() - 2, 1);
            return true;
        }
        raw_.append(p, avail);
        pos_ += avail;
    }
    if (raw_.empty())
        return false;
    // The piece is full: a CR LF split across its end still counts as one line feed.
    if (raw_.back() == '\r' && (pos_ < end_ || Fill()) && buffer_[pos_] == '\n') {
        raw_.back() = '\n';
        ++pos_;
    }
    return true;
}

bool PageLines::AppendNext(std::string& sjis)
{
    if (!ReadPiece())
        return false;
    // Lines are zero-terminated texts to the page's readers: a NUL ends the piece.
    if (const void* nul = std::memchr(raw_.data(), '\0', raw_.size()))
        raw_.resize(static_cast<std::size_t>(static_cast<const char*>(nul) - raw_.data()));
    ConvertEucToSjis(raw_, sjis);
    return true;
}

bool PageLines::Next(std::string_view& sjis)
{
    sjis_.clear();
    if (!AppendNext(sjis_))
        return false;
    sjis = sjis_;
    return true;
}

std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from)
{
    if (from > text.size() || needle.size() > text.size() - from)
        return std::string_view::npos;
    if (needle.empty())
        return from;
    // memchr and memcmp: memmem prepares a table at every call, which costs
    // more than the search itself on a page's short lines.
    const char* const begin = text.data();
    const char* p = begin + from;
    const char* const last = begin + (text.size() - needle.size()); // the last place a match can start
    while (p <= last) {
        p = static_cast<const char*>(std::memchr(p, needle[0], static_cast<std::size_t>(last - p) + 1));
        if (!p)
            break;
        if (std::memcmp(p + 1, needle.data() + 1, needle.size() - 1) == 0)
            return static_cast<std::size_t>(p - begin);
        ++p;
    }
    return std::string_view::npos;
}
