#include "runtime/Formatting.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/Platform.h"
#include "runtime/Arrays.h"
#include "runtime/Texts.h"

namespace quenlark {

namespace {

// "%f" writes every integer digit of a double: -DBL_MAX takes a sign, 309 digits, the point,
// six decimals and the NUL. The work area holds that, so no double can overflow it.
constexpr std::size_t kFormatBuffer = 1 + (DBL_MAX_10_EXP + 1) + 1 + 6 + 1;
using FormatBuffer = char[kFormatBuffer];

constexpr const char kTrue[] = "真";
constexpr const char kFalse[] = "假";

constexpr std::int64_t kDaysFrom1970To1899 = -25569;  // 1899-12-30 is day 0 of a date-time
constexpr int kSecondsPerDay = 86400;

// Bytes read as characters up to the first zero byte.
OwnedText TextUpToZero(const void* bytes, std::size_t size) noexcept {
    if (!bytes || !size) return {};
    const void* zero = std::memchr(bytes, 0, size);
    const std::size_t length =
        zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - static_cast<const char*>(bytes)) : size;
    return OwnedText::CopyOrNull({static_cast<const char*>(bytes), length});
}

void FormatFixed(FormatBuffer& buffer, double value) noexcept {
    std::snprintf(buffer, sizeof buffer, "%f", value);
    TrimTrailingZeros(buffer);
}

// The text form of a scalar basic value; false for texts, byte-sets, arrays and objects.
bool FormatScalar(const TypedArg& value, FormatBuffer& buffer) noexcept {
    switch (value.type) {
        case TC_BOOL:
            std::snprintf(buffer, sizeof buffer, "%s", value.Low() ? kTrue : kFalse);
            return true;
        case TC_INT:
        case TC_INT_ALIAS:
            std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(value.Low()));
            return true;
        case TC_BYTE:
            std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(value.Low() & 0xFF));
            return true;
        case TC_SHORT:
            std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(static_cast<std::int16_t>(value.Low())));
            return true;
        case TC_INT64:
            std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(value.Int64()));
            return true;
        case TC_FLOAT:
            FormatFixed(buffer, static_cast<double>(value.Float()));
            return true;
        case TC_DOUBLE:
            FormatFixed(buffer, value.Double());
            return true;
        case TC_DATETIME:
            DateTimeToText(buffer, sizeof buffer, value.Double(), false);
            return true;
        default:
            return false;
    }
}

struct CivilDate {
    std::int64_t year;
    int month;
    int day;
};

// Proleptic Gregorian date of a day count from 1970-01-01 (negative counts go backwards).
CivilDate DateFromDays(std::int64_t days) noexcept {
    days += 719468;  // from 0000-03-01, so that the leap day ends each 4-year cycle
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<std::int64_t>(days - era * 146097);
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const auto day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    const auto month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

}  // namespace

void TrimTrailingZeros(char* formatted) noexcept {
    // Only fixed notation has a point to trim to; "inf" and "nan" stay as they are.
    char* point = std::strchr(formatted, '.');
    if (!point) return;
    char* last = formatted + std::strlen(formatted) - 1;
    if (last == point) {
        *point = '\0';
        return;
    }
    while (*last == '0' && last != formatted) --last;
    last[last == point ? 0 : 1] = '\0';
}

void DateTimeToText(char* buffer, std::size_t size, double value, bool dateOnly) noexcept {
    if (!size) return;
    buffer[0] = '\0';
    double days = 0;
    const double fraction = std::modf(value, &days);
    // Beyond a 32-bit day count (about 5.8 million years) and for NaN and infinities there
    // is no date to show.
    if (!std::isfinite(value) || std::fabs(days) > INT_MAX) return;
    const auto seconds = static_cast<int>(std::fabs(fraction) * kSecondsPerDay + 0.5);  // 86400 shows as 24时
    const int hour = seconds / 3600;
    const int minute = seconds % 3600 / 60;
    const int second = seconds % 60;
    const CivilDate date = DateFromDays(static_cast<std::int64_t>(days) + kDaysFrom1970To1899);
    const auto year = static_cast<int>(date.year);
    if (dateOnly || (!hour && !minute && !second)) {
        std::snprintf(buffer, size, "%d年%d月%d日", year, date.month, date.day);
    } else if (second) {
        std::snprintf(buffer, size, "%d年%d月%d日%d时%d分%d秒", year, date.month, date.day, hour, minute, second);
    } else if (minute) {
        std::snprintf(buffer, size, "%d年%d月%d日%d时%d分", year, date.month, date.day, hour, minute);
    } else {
        std::snprintf(buffer, size, "%d年%d月%d日%d时", year, date.month, date.day, hour);
    }
}

OwnedText ToText(const TypedArg& value) noexcept {
    if (IsByRef(value.type)) {
        // Arrays of the integer types, read as bytes; other element types have no text.
        const std::uint32_t element = value.Base();
        const bool integral = element == TC_BYTE || element == TC_SHORT || element == TC_INT ||
                              element == TC_INT_ALIAS || element == TC_INT64;
        if (!integral || !value.ptr) return {};
        const ArrayElementsView elements = ArrayElements(value.ptr);
        return TextUpToZero(elements.first, elements.count * ElementWidth(element));
    }
    switch (value.type) {
        case TC_BYTESET:
            return value.ptr ? TextUpToZero(ByteSetBytes(value.ptr), static_cast<std::size_t>(ByteSetSize(value.ptr)))
                             : OwnedText();
        case TC_TEXT:
            return OwnedText::CopyOrNull(TextView(value.TextValue()));
        default: {
            FormatBuffer buffer;
            if (!FormatScalar(value, buffer)) return {};
            return OwnedText::CopyOrNull(buffer);
        }
    }
}

}  // namespace quenlark
