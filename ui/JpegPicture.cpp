#include "ui/JpegPicture.h"

#include <QLabel>
#include <QPixmap>
#include <fstream>
#include <iterator>
#include <memory>
#include <turbojpeg.h>

#include "base/Exception.h"
#include "base/Text.h"

namespace {

// Far beyond any item picture; a header claiming more is damage or malice,
// and must not make the program allocate gigabytes.
constexpr int kMaxSide = 16384;
constexpr long long kMaxPixels = 40'000'000;
constexpr std::streamoff kMaxFileBytes = 64 << 20;

struct TjDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};

std::string ReadPictureFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        throw Exception(Format("Cannot open the picture %s", path.c_str()));
    const std::streamoff size = in.tellg();
    if (size < 0 || size > kMaxFileBytes)
        throw Exception(Format("The picture %s is too large", path.c_str()));
    in.seekg(0);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!in.read(bytes.data(), size))
        throw Exception(Format("Cannot read the picture %s", path.c_str()));
    return bytes;
}

} // namespace

QImage LoadJpeg(const std::string& path)
{
    const std::string bytes = ReadPictureFile(path);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    std::unique_ptr<void, TjDeleter> tj(tjInitDecompress());
    if (!tj)
        throw Exception(Format("Cannot decode the picture %s: %s", path.c_str(), tjGetErrorStr2(nullptr)));
    auto fail = [&] {
        return Exception(Format("Cannot decode the picture %s: %s", path.c_str(), tjGetErrorStr2(tj.get())));
    };

    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(tj.get(), data, bytes.size(), &width, &height, &subsampling, &colorspace) != 0)
        throw fail();
    // A file cut before its frame header passes the header call with no size.
    if (width <= 0 || height <= 0)
        throw Exception(Format("The picture %s has no image data", path.c_str()));
    if (width > kMaxSide || height > kMaxSide || static_cast<long long>(width) * height > kMaxPixels)
        throw Exception(Format("The picture %s is too large (%d x %d)", path.c_str(), width, height));

    QImage image(width, height, QImage::Format_RGB888);
    if (image.isNull())
        throw Exception(Format("No memory for the picture %s", path.c_str()));
    if (tjDecompress2(tj.get(), data, bytes.size(), image.bits(), width,
                      static_cast<int>(image.bytesPerLine()), height, TJPF_RGB, 0) != 0
        && tjGetErrorCode(tj.get()) != TJERR_WARNING)
        throw fail();
    return image;
}

void ShowPicture(QLabel* box, const QImage& picture, QSize room)
{
    const QImage fitted = picture.width() > room.width() || picture.height() > room.height()
                              ? picture.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                              : picture;
    box->setAlignment(Qt::AlignCenter);
    box->setPixmap(QPixmap::fromImage(fitted));
}

void LoadJpegPicture(QLabel* box, const std::string& path)
{
    ClearPicture(box);
    ShowPicture(box, LoadJpeg(path));
}

void ClearPicture(QLabel* box)
{
    box->clear();
}
