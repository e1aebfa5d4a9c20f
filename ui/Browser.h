// Hands addresses to the user's web browser. The one way out to the browser,
// so a test can see what would be opened without starting one.
#pragma once

#include <QUrl>
#include <functional>

// Opens url in the default browser; whether that worked is not examined.
void OpenUrl(const QUrl& url);

// Replaces the browser (tests); an empty function restores it.
void SetUrlOpener(std::function<void(const QUrl&)> opener);
