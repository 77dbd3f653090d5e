#include "automation/NumberText.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace automation {
namespace {
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }
int DigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return 99;
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
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') { num += static_cast<char>(s[i++]); ++mantissaDigits; }
    if (i < s.size() && s[i] == u'.') {
        num += '.';
        ++i;
        while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') { num += static_cast<char>(s[i++]); ++mantissaDigits; }
    }
    if (mantissaDigits == 0) return r;  // no leading number: 0
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E' || s[i] == u'd' || s[i] == u'D')) {
        std::size_t j = i + 1;
        std::string ex = "e";
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-')) ex += static_cast<char>(s[j++]);
        std::size_t expDigits = 0;
        while (j < s.size() && s[j] >= u'0' && s[j] <= u'9') { ex += static_cast<char>(s[j++]); ++expDigits; }
        if (expDigits > 0) { num += ex; i = j; }
    }
    r.value = std::strtod(num.c_str(), nullptr);
    r.complete = i == s.size();
    return r;
}

BStr SingleText(float f) {
    if (f == 0) return u"0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.7g", static_cast<double>(f));
    std::string s = buf;
    // %g switches to an exponent only for very large or small values; keep it then.
    if (s.find('e') == std::string::npos && s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    return BStr(s.begin(), s.end());
}

}  // namespace automation
