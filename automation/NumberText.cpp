#include "automation/NumberText.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace automation {
namespace {
// A carriage return is not among them: it ends the number like any other character.
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; }
int DigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return 99;
}

// The C library's readers and writers follow the process locale, which a host may have changed
// (a decimal comma); automation text always uses a point, so convert without the locale.
double ParseDecimal(const std::string& num, int decimalExponent) {
    const char* first = num.data();
    if (*first == '+') ++first;
    double v = 0;
    auto r = std::from_chars(first, num.data() + num.size(), v);
    if (r.ec == std::errc::result_out_of_range) {
        bool negative = num[0] == '-';
        v = decimalExponent > 0 ? HUGE_VAL : 0.0;
        if (negative) v = -v;
    }
    return v;
}
}  // namespace

NumberRead ReadNumber(std::u16string_view text) {
    // Drop the blanks first: they are skipped wherever they stand.
    std::u16string s;
    s.reserve(text.size());
    for (char16_t c : text)
        if (!IsBlank(c)) s += c;

    NumberRead r;
    std::size_t i = 0;
    if (s.size() >= 2 && s[0] == u'&' && (s[1] == u'H' || s[1] == u'h' || s[1] == u'O' || s[1] == u'o')) {
        int base = (s[1] == u'H' || s[1] == u'h') ? 16 : 8;
        i = 2;
        unsigned long long v = 0;
        std::size_t digits = 0;
        while (i < s.size() && DigitValue(s[i]) < base) {
            v = v * base + DigitValue(s[i]);
            if (v > 0xFFFFFFFFull) v &= 0xFFFFFFFFull;
            ++i;
            ++digits;
        }
        // Four hex digits (or up to 6 octal) are a 16-bit value; longer ones a 32-bit value, both signed.
        if (base == 16 && digits <= 4 && v > 0x7FFF) r.value = static_cast<double>(static_cast<long long>(v) - 0x10000);
        else if (base == 8 && v <= 0xFFFF && v > 0x7FFF) r.value = static_cast<double>(static_cast<long long>(v) - 0x10000);
        else if (v > 0x7FFFFFFFull) r.value = static_cast<double>(static_cast<long long>(v) - 0x100000000ll);
        else r.value = static_cast<double>(v);
        r.complete = digits > 0 && i == s.size();
        return r;
    }

    std::string num;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) num += static_cast<char>(s[i++]);
    std::size_t mantissaDigits = 0;
    // Decimal position of the leading significant digit, to tell overflow from underflow.
    int magnitude = 0;
    bool significant = false;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
        if (s[i] != u'0') significant = true;
        if (significant) ++magnitude;
        num += static_cast<char>(s[i++]);
        ++mantissaDigits;
    }
    if (i < s.size() && s[i] == u'.') {
        num += '.';
        ++i;
        while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
            if (s[i] != u'0') significant = true;
            if (!significant) --magnitude;
            num += static_cast<char>(s[i++]);
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) return r;  // no leading number: 0
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E' || s[i] == u'd' || s[i] == u'D')) {
        std::size_t j = i + 1;
        std::string ex = "e";
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-')) ex += static_cast<char>(s[j++]);
        std::size_t expDigits = 0;
        long exponent = 0;
        while (j < s.size() && s[j] >= u'0' && s[j] <= u'9') {
            if (exponent < 100000) exponent = exponent * 10 + (s[j] - u'0');
            ex += static_cast<char>(s[j++]);
            ++expDigits;
        }
        if (expDigits > 0) {
            num += ex;
            i = j;
            magnitude += static_cast<int>(ex[1] == '-' ? -exponent : exponent);
        }
    }
    r.value = ParseDecimal(num, magnitude);
    r.complete = i == s.size();
    return r;
}

BStr SingleText(float f) {
    if (f == 0) return u"0";
    // %g-style with seven significant digits: trailing zeros go, an exponent only for extreme values.
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, f, std::chars_format::general, 7);
    return BStr(buf, r.ptr);
}

}  // namespace automation
