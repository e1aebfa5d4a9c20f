#include "board/Schedule.h"

#include <algorithm>

#include "base/Registry.h"

namespace {

namespace value {
constexpr const char* Floor = "BoardFloor";
constexpr const char* Gap = "BoardGap";
constexpr const char* AlertMinutes = "BoardAlertMinutes";
constexpr const char* Alerts = "BoardAlerts";
constexpr const char* Background = "BoardBackground";
} // namespace value

int ReadClamped(const char* name, int fallback, int low, int high)
{
    std::int32_t number = fallback;
    ReadRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, name, number);
    return std::clamp<int>(number, low, high);
}

} // namespace

BoardSettings ReadBoardSettings()
{
    RegistryBatch snapshot(RegistryBatch::Read);
    BoardSettings s;
    s.floorSeconds = ReadClamped(value::Floor, BoardSettings::kDefaultFloor, BoardSettings::kMinFloor,
                                 static_cast<int>(schedule::kHour));
    s.gapSeconds = ReadClamped(value::Gap, BoardSettings::kDefaultGap, BoardSettings::kMinGap, 600);
    s.alertMinutes = ReadClamped(value::AlertMinutes, BoardSettings::kDefaultAlertMinutes, 1, 24 * 60);
    s.alerts = ReadRegistrySwitch(value::Alerts, 1);
    s.refreshWhileClosed = ReadRegistrySwitch(value::Background, 0);
    return s;
}

bool StoreBoardSettings(const BoardSettings& s)
{
    return StoreSettings([&] {
        auto put = [](const char* name, int number) {
            return WriteRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, name, number) == 0;
        };
        return put(value::Floor, std::max(s.floorSeconds, BoardSettings::kMinFloor))
               && put(value::Gap, std::max(s.gapSeconds, BoardSettings::kMinGap))
               && put(value::AlertMinutes, std::max(s.alertMinutes, 1)) && put(value::Alerts, s.alerts ? 1 : 0)
               && put(value::Background, s.refreshWhileClosed ? 1 : 0);
    });
}

std::int64_t RefreshInterval(std::int64_t secondsLeft, int floorSeconds)
{
    using namespace schedule;
    std::int64_t interval = secondsLeft > kDay ? kHour : secondsLeft > kHour ? 15 * kMinute
                          : secondsLeft > 10 * kMinute ? 5 * kMinute : kMinute;
    return std::max<std::int64_t>(interval, floorSeconds);
}

std::optional<std::int64_t> NextRead(std::optional<std::int64_t> end, bool readEnded, std::int64_t now,
                                     int floorSeconds)
{
    if (readEnded)
        return std::nullopt;
    if (!end)
        return now + RefreshInterval(schedule::kDay + 1, floorSeconds);
    const std::int64_t closing = *end + schedule::kAfterEnd;
    // Read running past its end (the clock runs ahead of the service's, or
    // the service is late closing): the closing read waits its floor.
    if (now >= *end)
        return now + std::max<std::int64_t>(floorSeconds, schedule::kAfterEnd);
    return std::min(now + RefreshInterval(*end - now, floorSeconds), closing);
}

std::int64_t RetryAt(int failures, std::int64_t now, int floorSeconds)
{
    std::int64_t wait = std::max<std::int64_t>(schedule::kFirstRetry, floorSeconds);
    for (int i = 1; i < failures && wait < schedule::kMaxRetry; ++i)
        wait *= 2;
    return now + std::min(wait, schedule::kMaxRetry);
}
