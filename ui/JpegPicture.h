// The item's picture in the main window's header.
#pragma once

#include <QImage>
#include <QSize>
#include <string>

class QLabel;

// The room the header's picture box Image5 gives a picture.
inline constexpr QSize kItemPictureSize{153, 97};

// Decodes a JPEG file. Throws Exception when the file cannot be read, is not
// a JPEG, ends before its image size is known, or claims an absurd size. A
// file cut after its image data has begun decodes to what arrived, the rest
// grey, as a browser shows it (libjpeg counts that as a warning).
QImage LoadJpeg(const std::string& path);

// Shows picture in box, scaled down to fit the room keeping its proportions,
// centred; a smaller picture keeps its size.
void ShowPicture(QLabel* box, const QImage& picture, QSize room = kItemPictureSize);

// Empties box, then decodes path into it; on failure the box stays empty
// and the Exception goes to the caller.
void LoadJpegPicture(QLabel* box, const std::string& path);

void ClearPicture(QLabel* box);
