#include "analysis/PageLines.h"

#include <algorithm>
#include <cstring>

#include "analysis/ConvertEucToSjis.h"

PageLines::PageLines(const std::string& path) : file_(std::fopen(path.c_str(), "rb"))
{
    if (file_)
        buffer_.resize(64 * 1024);
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

bool PageLines::Next(std::string_view& sjis)
{
    if (!ReadPiece())
        return false;
    // Lines are zero-terminated texts to the page's readers: a NUL ends the piece.
    if (const void* nul = std::memchr(raw_.data(), '\0', raw_.size()))
        raw_.resize(static_cast<std::size_t>(static_cast<const char*>(nul) - raw_.data()));
    sjis_.clear();
    ConvertEucToSjis(raw_, sjis_);
    sjis = sjis_;
    return true;
}

std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from)
{
    if (from > text.size())
        return std::string_view::npos;
    const void* hit = memmem(text.data() + from, text.size() - from, needle.data(), needle.size());
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : std::string_view::npos;
}
