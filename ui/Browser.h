// Hands addresses to the user's web browser. The one way out to the browser,
// so a test can see what would be opened without starting one.
#pragma once

#include <QUrl>
#include <functional>

// Opens url in the default browser; whether that worked is not examined.
void OpenUrl(const QUrl& url);

// Opens a web address (http or https, with a host) and nothing else: list
// and history addresses come from web pages, and handing on anything else
// could open a local file or start a program. False when it was not one.
bool OpenWebAddress(const QString& address);

// Replaces the browser (tests); an empty function restores it.
void SetUrlOpener(std::function<void(const QUrl&)> opener);
