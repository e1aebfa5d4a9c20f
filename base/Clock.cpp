#include "base/Clock.h"

namespace {

// The locale's hours-and-minutes form with seconds added after the minutes,
// joined as hours and minutes are ("H:mm" becomes "H:mm:ss"). Qt's long time
// form would bring a zone name and, in some locales, words between the numbers.
QString TimeFormat(const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    format.remove(QLatin1Char('t'));
    format = format.trimmed();
    if (format.contains(QLatin1Char('s')))
        return format;
    qsizetype minutes = format.indexOf(QLatin1Char('m'));
    if (minutes < 0)
        return format;
    qsizetype minutesEnd = minutes;
    while (minutesEnd < format.size() && format[minutesEnd] == QLatin1Char('m'))
        ++minutesEnd;
    qsizetype sepStart = minutes;
    while (sepStart > 0 && !format[sepStart - 1].isLetter())
        --sepStart;
    QString separator = format.mid(sepStart, minutes - sepStart);
    if (sepStart == 0 || separator.isEmpty())
        separator = QStringLiteral(":");
    return format.left(minutesEnd) + separator + QStringLiteral("ss") + format.mid(minutesEnd);
}

} // namespace

QString ClockText(const QDateTime& when, const QLocale& locale)
{
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') + locale.toString(when.time(), TimeFormat(locale));
}
