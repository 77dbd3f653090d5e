#pragma once
// What must hold for any input to the text readers and converters. Each check answers the first
// broken property as readable text, or nothing when all hold; the fuzz targets abort on an answer
// and the regression tests replay the same checks. The byte-array checks need a ui platform with
// the Western (1252) code page installed.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "automation/Error.h"
#include "automation/Types.h"
#include "automation/Variant.h"
#include "common/MCommon.h"
#include "mainwindow/Placement.h"

namespace fuzzprops {

using automation::BStr;
using automation::ByteArray;

// Fuzz bytes as UTF-16 code units, little-endian pairs; a trailing odd byte is dropped.
inline BStr Utf16(const std::uint8_t* data, std::size_t size) {
    BStr s(size / 2, u'\0');
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return s;
}

inline std::string Show(std::u16string_view s) {
    std::string out = "\"";
    for (char16_t c : s) {
        if (c >= 0x20 && c < 0x7F && c != u'"' && c != u'\\') {
            out += static_cast<char>(c);
        } else {
            static const char hex[] = "0123456789ABCDEF";
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) out += hex[(c >> shift) & 0xF];
        }
    }
    return out + "\"";
}

// The Western code page, kept apart from the platform so the two can disagree: the byte of a
// character, none for a character the page cannot hold. 0x81, 0x8D, 0x8F, 0x90 and 0x9D have no
// character of their own and stand for the control characters of the same number.
inline std::optional<std::uint8_t> Cp1252Byte(char16_t c) {
    static constexpr char16_t high[32] = {u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
                                          u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
                                          u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
                                          u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178'};
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<std::uint8_t>(c);
    for (int i = 0; i < 32; ++i)
        if (high[i] == c) return static_cast<std::uint8_t>(0x80 + i);
    return std::nullopt;
}

inline bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; }

inline BStr WithoutBlanks(std::u16string_view s) {
    BStr out;
    for (char16_t c : s)
        if (!IsBlank(c)) out += c;
    return out;
}

// "[sign]digits" or "[sign]digits.5" with at most `maxDigits` digits: its value, doubled so a half
// stays whole. Anything else: none.
inline std::optional<long long> PlainNumberTimesTwo(std::u16string_view s, std::size_t maxDigits) {
    bool negative = false;
    if (!s.empty() && (s[0] == u'+' || s[0] == u'-')) {
        negative = s[0] == u'-';
        s.remove_prefix(1);
    }
    bool half = s.size() >= 2 && s.substr(s.size() - 2) == u".5";
    if (half) s.remove_suffix(2);
    if (s.empty() || s.size() > maxDigits) return std::nullopt;
    long long v = 0;
    for (char16_t c : s) {
        if (c < u'0' || c > u'9') return std::nullopt;
        v = v * 10 + (c - u'0');
    }
    v = 2 * v + (half ? 1 : 0);
    return negative ? -v : v;
}

inline std::string ResId(std::u16string_view text) {
    const auto colon = text.find(u':');
    std::int32_t id;
    try {
        id = MCommon::GetResId(text);
    } catch (const automation::Error& e) {
        if (colon == std::u16string_view::npos) return "GetResId raised an error for a text without a colon";
        if (e.Code() != automation::code::kOverflow) return "GetResId raised an error other than an overflow";
        return {};
    }
    if (colon == std::u16string_view::npos)
        return id == -1 ? "" : "GetResId without a colon answered " + std::to_string(id) + ", not -1";
    const BStr before = WithoutBlanks(text.substr(0, colon));
    if (auto twice = PlainNumberTimesTwo(before, 9)) {
        long long whole = *twice / 2;                                         // toward zero
        if (*twice % 2 != 0 && whole % 2 != 0) whole += *twice < 0 ? -1 : 1;  // a half goes to the even neighbour
        if (id != whole)
            return "GetResId of " + Show(before) + " answered " + std::to_string(id) + ", not " + std::to_string(whole);
    }
    const bool mayStartNumber = !before.empty() && ((before[0] >= u'0' && before[0] <= u'9') || before[0] == u'+' ||
                                                    before[0] == u'-' || before[0] == u'.' || before[0] == u'&');
    if (!mayStartNumber && id != 0)
        return "GetResId of a text that starts with no number answered " + std::to_string(id) + ", not 0";
    return {};
}

inline std::string NeuronId(const BStr& text) {
    const BStr r = MCommon::FormatNeuronID(text);
    const std::size_t n = text.size();
    if (n <= 2) return r == text ? "" : "FormatNeuronID changed a text of one or two characters";
    const std::size_t pairs = n / 2;
    if (r.size() != 3 * pairs - 1)
        return "FormatNeuronID of " + std::to_string(n) + " characters gave " + std::to_string(r.size()) + ", not " +
               std::to_string(3 * pairs - 1);
    for (std::size_t i = 0; i < r.size(); ++i) {
        const char16_t want = i % 3 == 2 ? u'-' : text[i - i / 3];
        if (r[i] != want) return "FormatNeuronID result " + Show(r) + " differs at " + std::to_string(i);
    }
    return {};
}

inline std::string ProgramId(const BStr& text) {
    const BStr r = MCommon::FormatProgramID(text);
    const std::size_t n = text.size() < 16 ? text.size() : 16;
    if (r.size() != n + 3)
        return "FormatProgramID of " + std::to_string(text.size()) + " characters gave " + std::to_string(r.size());
    // Where the dashes stand: after six, ten and fourteen characters of the text, or its end.
    const std::size_t dash[3] = {std::min<std::size_t>(n, 6), std::min<std::size_t>(n, 10) + 1, std::min<std::size_t>(n, 14) + 2};
    BStr rest;
    for (std::size_t i = 0, d = 0; i < r.size(); ++i) {
        if (d < 3 && i == dash[d]) {
            if (r[i] != u'-') return "FormatProgramID result " + Show(r) + " has no dash at " + std::to_string(i);
            ++d;
        } else {
            rest += r[i];
        }
    }
    if (rest != text.substr(0, n)) return "FormatProgramID result " + Show(r) + " does not hold the first 16 characters in order";
    if (text.size() >= 16 && text.substr(0, 16).find(u'-') == BStr::npos && (r[6] != u'-' || r[11] != u'-' || r[16] != u'-'))
        return "FormatProgramID of a 16-digit id has its dashes out of place";
    return {};
}

// The text the Western code page gives back for `text`: unmapped characters become "?", and it
// ends at the first zero character.
inline BStr Cp1252RoundTrip(const BStr& text) {
    BStr out;
    for (char16_t c : text) {
        if (c == 0) break;
        out += Cp1252Byte(c) ? c : u'?';
    }
    return out;
}

inline std::string BytStr(const BStr& text) {
    automation::Variant v = MCommon::StrToBytStr(text);
    if (v.Type() != automation::VarType::Bytes) return "StrToBytStr answered no byte array";
    const ByteArray& bytes = v.AsBytes();
    if (bytes.size() != text.size() + 1)
        return "StrToBytStr of " + std::to_string(text.size()) + " characters gave " + std::to_string(bytes.size()) + " bytes";
    if (bytes.back() != 0) return "StrToBytStr does not end with a zero byte";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto want = Cp1252Byte(text[i]).value_or('?');
        if (bytes[i] != want) return "StrToBytStr of " + Show(text.substr(i, 1)) + " gave byte " + std::to_string(bytes[i]);
    }
    const BStr back = MCommon::BinToStr(v);
    if (back != Cp1252RoundTrip(text)) return "BinToStr(StrToBytStr(" + Show(text) + ")) gave " + Show(back);
    return {};
}

inline std::string BinStr(const ByteArray& bytes) {
    const BStr text = MCommon::BinToStr(automation::Variant(bytes));
    std::size_t end = 0;
    while (end < bytes.size() && bytes[end] != 0) ++end;
    if (text.size() != end)
        return "BinToStr gave " + std::to_string(text.size()) + " characters for " + std::to_string(end) + " bytes before a zero";
    for (std::size_t i = 0; i < end; ++i)
        if (Cp1252Byte(text[i]) != bytes[i])
            return "BinToStr turned byte " + std::to_string(bytes[i]) + " into " + Show(text.substr(i, 1));
    // Every non-zero byte names a character, so the way back is exact.
    ByteArray again = MCommon::StrToBytStr(text).AsBytes();
    ByteArray want(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end));
    want.push_back(0);
    if (again != want) return "StrToBytStr(BinToStr(bytes)) is not the bytes up to the first zero";
    // What holds no byte array is no text, and no error either.
    if (!MCommon::BinToStr(automation::Variant(BStr(text))).empty()) return "BinToStr of a text value gave a text";
    return {};
}

inline std::string PlacementText(std::u16string_view text) {
    std::size_t fields = 1;
    std::u16string_view fifth;
    for (std::size_t i = 0, start = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == u',') {
            if (fields == 5) fifth = text.substr(start, i - start);
            if (i < text.size()) ++fields;
            start = i + 1;
        }
    }
    Placement p;
    try {
        p = ReadPlacement(text);
    } catch (const automation::Error& e) {
        if (fields < 5 && e.Code() != automation::code::kSubscriptOutOfRange)
            return "ReadPlacement of too few fields raised no subscript error";
        return {};
    }
    if (fields < 5) return "ReadPlacement accepted " + std::to_string(fields) + " fields";
    if (p.state != fifth) return "ReadPlacement state " + Show(p.state) + " is not the fifth field " + Show(fifth);
    const float read[4] = {p.left, p.top, p.height, p.width};
    std::size_t start = 0;
    for (int f = 0; f < 4; ++f) {
        const std::size_t comma = text.find(u',', start);
        const BStr field = WithoutBlanks(text.substr(start, comma - start));
        start = comma + 1;
        if (!std::isfinite(read[f])) return "ReadPlacement read " + Show(field) + " as a value that is not finite";
        if (auto twice = PlainNumberTimesTwo(field, 7); twice && *twice % 2 == 0 && read[f] != static_cast<float>(*twice / 2))
            return "ReadPlacement read " + Show(field) + " as " + std::to_string(read[f]);
    }
    return {};
}

}  // namespace fuzzprops
