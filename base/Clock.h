// The main window's clock text.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The locale's short date, a blank and its time with seconds ("2004/02/17
// 10:10:10" in Japanese), without a time-zone name.
QString ClockText(const QDateTime& when, const QLocale& locale = QLocale::system());
