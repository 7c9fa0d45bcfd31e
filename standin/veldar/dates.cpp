// Dates of the stand-in. Its stored date form is the day number counted from
// 1 January 1800, written as six decimal digits ("081234"); it says nothing about
// day, month or year to anyone who does not ask the host, which is the point.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "exports.h"
#include "state.h"

namespace standin {
namespace {

bool Leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && Leap(y) ? 29 : days[m - 1];
}

}  // namespace

std::string StoredDate(int year, int month, int day) {
    if (year < 1800 || year > 2999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return "";
    long n = 0;
    for (int y = 1800; y < year; ++y) n += Leap(y) ? 366 : 365;
    for (int m = 1; m < month; ++m) n += DaysInMonth(year, m);
    n += day - 1;
    char text[16];
    std::snprintf(text, sizeof text, "%06ld", n);
    return text;
}

bool ParseStoredDate(const char *stored, int &year, int &month, int &day) {
    if (stored == nullptr || std::strlen(stored) != 6) return false;
    for (int i = 0; i < 6; ++i)
        if (stored[i] < '0' || stored[i] > '9') return false;
    long n = std::atol(stored);
    year = 1800;
    while (n >= (Leap(year) ? 366 : 365)) n -= Leap(year++) ? 366 : 365;
    month = 1;
    while (n >= DaysInMonth(year, month)) n -= DaysInMonth(year, month++);
    day = static_cast<int>(n) + 1;
    return true;
}

}  // namespace standin

void HOST_CONV_STDCALL VeldarNormalizeDate(char *dst, const char *src) {
    standin::Called(kOrd_VeldarNormalizeDate, standin::Address(dst), standin::Text(src));
    int day = 0, month = 0, year = 0;
    char rest = 0;
    std::string stored;
    if (std::sscanf(src, "%2d.%2d.%4d%c", &day, &month, &year, &rest) == 3) stored = standin::StoredDate(year, month, day);
    std::memcpy(dst, stored.c_str(), stored.size() + 1);  // an invalid date becomes the empty date
}

int32_t HOST_CONV_STDCALL VeldarCompareDates(const char *a, const char *b) {
    standin::Called(kOrd_VeldarCompareDates, standin::Text(a), standin::Text(b));
    // Six-digit day numbers order as texts do; the empty date comes first. A loop of
    // our own: called for every document of every walk, and the runtime's strcmp is
    // slow under Wine.
    while (*a != '\0' && *a == *b) ++a, ++b;
    const auto x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
    return x < y ? -1 : x > y ? 1 : 0;
}
