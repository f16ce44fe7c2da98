#include "history/time_text.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <string>

namespace vornik::history {

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string TimeText(int64_t ms)
{
    // The calendar's own arithmetic, not the C library's: msvcrt's gmtime
    // refuses every time before 1970. Floored, so that a time before 1970
    // still shows milliseconds from 000 to 999.
    using namespace std::chrono;
    const sys_time<milliseconds> t{milliseconds(ms)};
    const sys_days day = floor<days>(t);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> clock{t - day};
    const int y = int(date.year());
    if (y >= 0 && y <= 9999) {
        // Digit by digit: a listing stamps every event, and printf's set-up
        // is most of what that costs.
        std::string out = "0000-00-00T00:00:00.000Z";
        const auto put = [&out](size_t end, unsigned value, int digits) {
            for (int i = 0; i < digits; ++i, value /= 10) out[end - size_t(i)] = char('0' + value % 10);
        };
        put(3, unsigned(y), 4);
        put(6, unsigned(date.month()), 2);
        put(9, unsigned(date.day()), 2);
        put(12, unsigned(clock.hours().count()), 2);
        put(15, unsigned(clock.minutes().count()), 2);
        put(18, unsigned(clock.seconds().count()), 2);
        put(22, unsigned(clock.subseconds().count()), 3);
        return out;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int(date.year()), unsigned(date.month()),
                  unsigned(date.day()), int(clock.hours().count()), int(clock.minutes().count()),
                  int(clock.seconds().count()), int(clock.subseconds().count()));
    return text;
}

std::optional<int64_t> ParseTimeText(const std::string& text)
{
    int year, month, day, hour, minute, second, consumed = 0;
    char sep;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &year, &month, &day, &sep, &hour, &minute, &second,
                    &consumed) != 7 ||
        (sep != 'T' && sep != ' '))
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return std::nullopt;
    std::string rest = text.substr(size_t(consumed));
    int ms = 999;
    if (!rest.empty() && rest[0] == '.') {
        if (rest.size() < 4 || !std::isdigit(uint8_t(rest[1])) || !std::isdigit(uint8_t(rest[2])) ||
            !std::isdigit(uint8_t(rest[3])))
            return std::nullopt;
        ms = (rest[1] - '0') * 100 + (rest[2] - '0') * 10 + (rest[3] - '0');
        rest = rest.substr(4);
    }
    if (rest == "Z") rest.clear();
    if (!rest.empty()) return std::nullopt;
    using namespace std::chrono;
    // A day the month lacks (February 30th) is refused, not carried into the next.
    const year_month_day date{year_month_day{std::chrono::year(year), std::chrono::month(unsigned(month)),
                                             std::chrono::day(unsigned(day))}};
    if (!date.ok()) return std::nullopt;
    const auto t = sys_days(date) + hours(hour) + minutes(minute) + seconds(second) + milliseconds(ms);
    return int64_t(t.time_since_epoch().count());
}

} // namespace vornik::history
