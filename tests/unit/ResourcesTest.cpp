#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "automation/Types.h"
#include "resources/StringTable.h"

namespace {

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
