#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "automation/Types.h"
#include "resources/StringTable.h"

namespace {

struct Entry {
    std::int32_t id;
    const char16_t* text;
};

// The captions the windows are authored with resolve to exactly these texts, blanks included.
const std::vector<Entry> kCaptionStrings = {
    {150, u"OK"},
    {151, u"Cancel"},
    {152, u"&Help"},
    {300, u"&Plugin"},
    {307, u"E&xit"},
    {320, u"&Device"},
    {360, u"&View"},
    {363, u"&Refresh"},
    {370, u"&Tools"},
    {372, u"&Engineering Units"},
    {391, u"&Contents and Index"},
    {395, u"&What's This?"},
    {500, u"Active Group"},
    {502, u" All Devices"},
    {1100, u"Device Type - "},
    {1110, u"Total Number of Devices of this Type: "},
    {1301, u"Active Group View"},
    {1305, u"Device Name"},
    {1310, u"Device Type"},
    {1315, u"Program ID"},
    {1320, u"Neuron ID"},
    {1325, u"Status"},
    {1330, u"Total Number of Devices: "},
    {1335, u"DSN (A)"},
    {1340, u"DSN (B)"},
    {1401, u"Unable to display information about this device. The required plug-in file is not available."},
    {2613, u"&Units"},
};

TEST(StringTable, CaptionIdsHaveTheirExactTexts) {
    for (const auto& e : kCaptionStrings) {
        const char16_t* s = resources::FindString(e.id);
        ASSERT_NE(s, nullptr) << "no entry " << e.id;
        EXPECT_EQ(automation::ToUtf8(s), automation::ToUtf8(e.text)) << "entry " << e.id;
    }
    EXPECT_EQ(res::kPluginFileMissing, 1401);
    EXPECT_EQ(res::kOk, 150);
    EXPECT_EQ(res::kTabUnits, 2613);
    EXPECT_EQ(resources::kIconId, 101);
}

TEST(StringTable, IdsAreUniqueFitSixteenBitsAndZeroIsAbsent) {
    auto ids = resources::AllStringIds();
    std::set<std::int32_t> unique(ids.begin(), ids.end());
    EXPECT_EQ(unique.size(), ids.size());
    for (auto id : ids) {
        EXPECT_GT(id, 0) << "caption ids are read as 16-bit signed numbers";
        EXPECT_LE(id, 32767);
        ASSERT_NE(resources::FindString(id), nullptr);
        EXPECT_NE(automation::BStr(resources::FindString(id)), u"") << id;
    }
    EXPECT_EQ(resources::FindString(0), nullptr);
    EXPECT_EQ(resources::FindString(-1), nullptr);
}

}  // namespace
