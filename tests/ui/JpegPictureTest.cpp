#include "ui/JpegPicture.h"

#include <QLabel>
#include <QPixmap>
#include <cstdlib>
#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <vector>

#include "base/Exception.h"
#include "tests/support/Sandbox.h"

namespace {

// An RGB picture, red on top; the lower half red too, or noise that makes a
// long scan to cut into.
std::string MakeJpeg(int width, int height, bool noisyBottom = false)
{
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    unsigned seed = 1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            if (noisyBottom && y >= height / 2) {
                for (int c = 0; c < 3; ++c)
                    p[c] = static_cast<unsigned char>((seed = seed * 1103515245 + 12345) >> 16);
            } else {
                p[0] = 230, p[1] = 20, p[2] = 20;
            }
        }
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(tjCompress2(tj, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_444, 90, 0), 0);
    std::string jpeg(reinterpret_cast<char*>(out), size);
    tjFree(out);
    tjDestroy(tj);
    return jpeg;
}

// Offset of the first marker 0xFF code in a JPEG stream.
std::size_t Marker(const std::string& jpeg, unsigned char code)
{
    std::size_t at = jpeg.find(std::string{'\xFF', static_cast<char>(code)});
    EXPECT_NE(at, std::string::npos);
    return at;
}

bool IsRed(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}

TEST(JpegPictureTest, DecodesAndFitsThePictureIntoTheBox)
{
    sandbox::WriteFile("img.jpg", MakeJpeg(64, 48));
    QImage image = LoadJpeg("img.jpg");
    ASSERT_EQ(image.size(), QSize(64, 48));
    EXPECT_TRUE(IsRed(image.pixel(3, 3))) << std::hex << image.pixel(3, 3);
    EXPECT_TRUE(IsRed(image.pixel(60, 45)));

    QLabel box;
    LoadJpegPicture(&box, "img.jpg"); // smaller than the box: not enlarged
    EXPECT_EQ(box.pixmap().size(), QSize(64, 48));
    EXPECT_EQ(box.alignment(), Qt::AlignCenter);

    ShowPicture(&box, QImage(600, 200, QImage::Format_RGB888));
    EXPECT_EQ(box.pixmap().size(), QSize(153, 51));
    ShowPicture(&box, QImage(100, 400, QImage::Format_RGB888));
    EXPECT_EQ(box.pixmap().size(), QSize(24, 97));

    ClearPicture(&box);
    EXPECT_TRUE(box.pixmap().isNull());
}

TEST(JpegPictureTest, ReportsFilesThatHoldNoPicture)
{
    const std::string good = MakeJpeg(64, 48);
    std::string huge = good; // the frame header claims 60000 x 60000
    const std::size_t sof = Marker(good, 0xC0);
    huge.replace(sof + 5, 4, std::string{'\xEA', '\x60', '\xEA', '\x60'});
    QImage png(8, 8, QImage::Format_RGB32);
    png.fill(Qt::red);
    ASSERT_TRUE(png.save("png.png", "PNG"));

    sandbox::WriteFile("empty.jpg", "");
    sandbox::WriteFile("noframe.jpg", good.substr(0, sof));
    sandbox::WriteFile("huge.jpg", huge);
    sandbox::WriteFile("png.jpg", sandbox::ReadFile("png.png"));
    for (const char* file : {"missing.jpg", "empty.jpg", "noframe.jpg", "huge.jpg", "png.jpg"}) {
        SCOPED_TRACE(file);
        EXPECT_THROW(LoadJpeg(file), Exception);

        QLabel box;
        ShowPicture(&box, QImage(10, 10, QImage::Format_RGB888));
        EXPECT_THROW(LoadJpegPicture(&box, file), Exception);
        EXPECT_TRUE(box.pixmap().isNull()); // the previous picture is gone
    }
}

TEST(JpegPictureTest, AFileCutInTheScanShowsWhatArrived)
{
    const std::string jpeg = MakeJpeg(128, 128, true);
    const std::size_t scan = Marker(jpeg, 0xDA);
    sandbox::WriteFile("cut.jpg", jpeg.substr(0, scan + (jpeg.size() - scan) / 2));

    QImage image = LoadJpeg("cut.jpg");
    ASSERT_EQ(image.size(), QSize(128, 128));
    EXPECT_TRUE(IsRed(image.pixel(5, 5)));
    QRgb lost = image.pixel(127, 127); // never arrived: filled with grey
    EXPECT_LT(std::abs(qRed(lost) - 128), 10);
    EXPECT_LT(std::abs(qGreen(lost) - 128), 10);
    EXPECT_LT(std::abs(qBlue(lost) - 128), 10);
}

} // namespace
