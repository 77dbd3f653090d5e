// Inputs the fuzzers found or that sit on the edges they probe, and a replay of the fuzz seeds
// through the same property checks the fuzz targets use (fuzz/Properties.h).
#include <gtest/gtest.h>

#include "support/ErrorCode.h"
#include "support/PlatformTest.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>

#include "fuzz/Properties.h"

using automation::BStr;
namespace code = automation::code;

namespace {

// Lone surrogates: halves of a pair without the other half.
const BStr kHigh(1, static_cast<char16_t>(0xD800));
const BStr kLow(1, static_cast<char16_t>(0xDC00));

using FuzzRegression = PlatformTest;

}  // namespace

TEST_F(FuzzRegression, PlacementFieldBeyondTheRangeOfADoubleOverflows) {
    // Found by fuzz_placement: the blanks vanish, the third field reads as 31e392 and came back as
    // an infinite height instead of an overflow.
    const BStr found = u" 1 , 2 , 31e39\n 2,4   , 2";
    EXPECT_EQ(ErrorCode([&] { ReadPlacement(found); }), code::kOverflow);
    EXPECT_EQ(fuzzprops::PlacementText(found), "");
    for (const BStr text : {u"1e400,0,0,0,0", u"0,-1e400,0,0,0", u"0,0,0,1e39,0"})
        EXPECT_EQ(ErrorCode([&] { ReadPlacement(text); }), code::kOverflow) << automation::ToUtf8(text);
    // Values near the largest float still read; too few fields fail before any number is read.
    auto p = ReadPlacement(u"3.4e38, -3.4e38 ,0,0,  2 ");
    EXPECT_EQ(p.left, 3.4e38f);
    EXPECT_EQ(p.top, -3.4e38f);
    EXPECT_EQ(p.state, u"  2 ");
    EXPECT_EQ(ErrorCode([] { ReadPlacement(u"1e400,0,0,0"); }), code::kSubscriptOutOfRange);
    EXPECT_EQ(ErrorCode([] { ReadPlacement(u"x,0,0,0,0"); }), code::kTypeMismatch);
}

TEST_F(FuzzRegression, ResIdAtTheEdgesOfA32BitNumber) {
    EXPECT_EQ(MCommon::GetResId(u"2147483647:x"), 2147483647);
    EXPECT_EQ(MCommon::GetResId(u"-2147483648.5:x"), -2147483648) << "the tie goes to the even neighbour, which still fits";
    EXPECT_EQ(ErrorCode([] { MCommon::GetResId(u"2147483647.5:x"); }), code::kOverflow);
    EXPECT_EQ(ErrorCode([] { MCommon::GetResId(u"9e99999:x"); }), code::kOverflow);
    EXPECT_EQ(ErrorCode([] { MCommon::GetResId(u"-9e99999:x"); }), code::kOverflow);
    EXPECT_EQ(MCommon::GetResId(u"&H8000:x"), -32768);
    EXPECT_EQ(MCommon::GetResId(u"1e-99999:x"), 0);
    EXPECT_EQ(MCommon::GetResId(u"9e99999 without a colon"), -1);
    const BStr edges[] = {u"2147483647:x", u"-2147483648.5:x", u"2147483647.5:x", u"9e99999:x", u"&H8000:x", kHigh + u":x", kLow};
    for (const BStr& text : edges) EXPECT_EQ(fuzzprops::ResId(text), "") << automation::ToUtf8(text);
}

TEST_F(FuzzRegression, ConvertersKeepTheirShapeForAnyCharacter) {
    // Lone surrogates, a zero character and characters the Western code page has no byte for.
    const BStr odd[] = {kHigh,
                        u"A" + kLow + u"B",
                        BStr(u"a\0b", 3),
                        BStr(u"\u3042\u20AC\u0081"),
                        BStr(17, u'-'),
                        BStr(u"80000A1B2C3D4E5F\uFFFF")};
    for (const BStr& text : odd) {
        EXPECT_EQ(fuzzprops::NeuronId(text), "") << fuzzprops::Show(text);
        EXPECT_EQ(fuzzprops::ProgramId(text), "") << fuzzprops::Show(text);
        EXPECT_EQ(fuzzprops::BytStr(text), "") << fuzzprops::Show(text);
    }
    EXPECT_EQ(MCommon::BinToStr(MCommon::StrToBytStr(BStr(u"a\0b", 3))), u"a");
    EXPECT_EQ(MCommon::BinToStr(MCommon::StrToBytStr(u"\u3042\u20AC")), u"?\u20AC");
    EXPECT_EQ(MCommon::FormatProgramID(BStr(17, u'-')), BStr(19, u'-'));
    automation::ByteArray every;
    for (int b = 255; b >= 0; --b) every.push_back(static_cast<std::uint8_t>(b));
    EXPECT_EQ(fuzzprops::BinStr(every), "");
    EXPECT_EQ(MCommon::BinToStr(automation::Variant(every)).size(), 255u);
}

TEST_F(FuzzRegression, SeedCorporaKeepEveryProperty) {
    const auto root = std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "fuzz" / "corpus";
    if (!std::filesystem::is_directory(root)) GTEST_SKIP() << "no fuzz seeds at " << root;
    auto utf8 = [](const std::string& b) { return automation::FromUtf8(b); };
    auto utf16 = [](const std::string& b) { return fuzzprops::Utf16(reinterpret_cast<const std::uint8_t*>(b.data()), b.size()); };
    const std::map<std::string, std::function<std::string(const std::string&)>> checks = {
        {"resid", [&](const std::string& b) { return fuzzprops::ResId(utf8(b)); }},
        {"neuronid", [&](const std::string& b) { return fuzzprops::NeuronId(utf16(b)); }},
        {"programid", [&](const std::string& b) { return fuzzprops::ProgramId(utf16(b)); }},
        {"bytstr", [&](const std::string& b) { return fuzzprops::BytStr(utf16(b)); }},
        {"bintostr", [](const std::string& b) { return fuzzprops::BinStr(automation::ByteArray(b.begin(), b.end())); }},
        {"placement", [&](const std::string& b) { return fuzzprops::PlacementText(utf8(b)); }},
    };
    int replayed = 0;
    for (const auto& [target, check] : checks) {
        ASSERT_TRUE(std::filesystem::is_directory(root / target)) << target;
        for (const auto& entry : std::filesystem::directory_iterator(root / target)) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_EQ(check(bytes), "") << entry.path();
            ++replayed;
        }
    }
    EXPECT_GE(replayed, 30);
}
