#include "platform/CrashDumpName.h"

namespace platform {

namespace {

constexpr char kDumpPrefix[] = "RivaVare_v1.0-";

char* PutDigits(char* out, int64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

}  // namespace

void FormatCrashDumpName(int64_t localSeconds, char (&name)[kCrashDumpNameSize]) {
    // Days since 1970-01-01 to a civil date (proleptic Gregorian calendar),
    // after Howard Hinnant's days_from_civil inverse.
    int64_t days = localSeconds / 86400;
    int64_t secondOfDay = localSeconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    const int64_t shifted = days + 719468;
    const int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
    const int64_t dayOfEra = shifted - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
    const int64_t month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
    int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    if (year < 0) year = 0;
    if (year > 9999) year = 9999;

    char* out = name;
    for (const char* prefix = kDumpPrefix; *prefix; ++prefix) *out++ = *prefix;
    out = PutDigits(out, year, 4);
    out = PutDigits(out, month, 2);
    out = PutDigits(out, day, 2);
    *out++ = '-';
    out = PutDigits(out, secondOfDay / 3600, 2);
    out = PutDigits(out, secondOfDay / 60 % 60, 2);
    out = PutDigits(out, secondOfDay % 60, 2);
    for (const char* suffix = ".dmp"; *suffix; ++suffix) *out++ = *suffix;
    *out = '\0';
}

}  // namespace platform
