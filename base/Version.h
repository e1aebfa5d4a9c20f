// The version shown by the main window's banner and the version window.
#pragma once

#include <string_view>

inline constexpr std::string_view kVersionText = "Ver 1.32";
