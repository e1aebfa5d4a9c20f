// Shift_JIS texts meet Qt only here, at the widgets.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "base/Text.h"

inline QString QStr(std::string_view sjis)
{
    return QString::fromStdString(Utf8FromSjis(sjis));
}

inline std::string SjisStr(const QString& text)
{
    return SjisFromUtf8(text.toStdString());
}
