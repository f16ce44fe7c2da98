#include "history/time_text.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

namespace vornik::history {

namespace {

// UTC both ways, under the names each C library gives them.
void Utc(std::time_t seconds, std::tm& out)
{
#ifdef _WIN32
    gmtime_s(&out, &seconds);
#else
    gmtime_r(&seconds, &out);
#endif
}

std::time_t FromUtc(std::tm& utc)
{
#ifdef _WIN32
    return _mkgmtime(&utc);
#else
    return timegm(&utc);
#endif
}

} // namespace

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string TimeText(int64_t ms)
{
    // Floored, so a time before 1970 still shows milliseconds from 000 to 999.
    const int milli = int((ms % 1000 + 1000) % 1000);
    const std::time_t seconds = std::time_t((ms - milli) / 1000);
    std::tm utc{};
    Utc(seconds, utc);
    char text[48];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    const char fraction[] = {'.', char('0' + milli / 100), char('0' + milli / 10 % 10), char('0' + milli % 10), 'Z'};
    return std::string(text, n) + std::string(fraction, sizeof fraction);
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
    std::tm utc{};
    utc.tm_year = year - 1900;
    utc.tm_mon = month - 1;
    utc.tm_mday = day;
    utc.tm_hour = hour;
    utc.tm_min = minute;
    utc.tm_sec = second;
    const std::time_t seconds = FromUtc(utc);
    // timegm carries a day the month lacks into the next (February 30th to
    // March 2nd): such a date is refused, not read as another.
    std::tm back{};
    Utc(seconds, back);
    if (back.tm_mday != day || back.tm_mon != month - 1) return std::nullopt;
    return int64_t(seconds) * 1000 + ms;
}

} // namespace vornik::history
