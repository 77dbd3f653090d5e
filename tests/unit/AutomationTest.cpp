#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/Collection.h"
#include "automation/ComponentFactory.h"
#include "automation/Event.h"
#include "automation/NumberText.h"
#include "automation/Variant.h"
#include "support/ErrorCode.h"

using namespace automation;

TEST(AutomationStrings, Utf8RoundTripIncludingSurrogatePairs) {
    BStr s = u"Fan \u00e9 \u20ac \U0001F600";
    EXPECT_EQ(FromUtf8(ToUtf8(s)), s);
    EXPECT_EQ(ToUtf8(u"Hi"), "Hi");
    EXPECT_EQ(ToUtf8(BStr(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(AutomationEvents, DeliversInOrderAndSurvivesUnsubscribeDuringDelivery) {
    Event<int> ev;
    std::vector<std::string> seen;
    Subscription b;
    auto a = ev.Subscribe([&](int v) {
        seen.push_back("a" + std::to_string(v));
        b.Reset();
    });
    b = ev.Subscribe([&](int v) { seen.push_back("b" + std::to_string(v)); });
    auto c = ev.Subscribe([&](int v) { seen.push_back("c" + std::to_string(v)); });
    ev.Raise(1);
    ev.Raise(2);
    EXPECT_EQ(seen, (std::vector<std::string>{"a1", "c1", "a2", "c2"}));
}

TEST(AutomationEvents, SourceDestroyedDuringDeliveryAndReentrantRaise) {
    auto owner = std::make_unique<Event<>>();
    int calls = 0;
    Subscription s1 = owner->Subscribe([&] {
        ++calls;
        owner.reset();
    });
    Subscription s2 = owner->Subscribe([&] { ++calls; });
    owner->Raise();
    EXPECT_EQ(calls, 2);
    s1.Reset();  // the source is gone: nothing to cancel
    Event<int> ev;
    std::vector<int> order;
    auto r = ev.Subscribe([&](int depth) {
        order.push_back(depth);
        if (depth < 3) ev.Raise(depth + 1);
    });
    ev.Raise(1);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(AutomationVariant, CoercionAndErrors) {
    EXPECT_EQ(Variant(u"12").AsI2(), 12);
    EXPECT_EQ(Variant(2.5).AsI4(), 2);
    EXPECT_EQ(Variant(3.5f).AsI4(), 4);
    EXPECT_EQ(Variant::FromBool(true).AsBool(), kTrue);
    EXPECT_EQ(Variant(std::int32_t(40000)).AsR4(), 40000.0f);
    EXPECT_THROW(Variant(std::int32_t(40000)).AsI2(), Error);
    EXPECT_EQ(ErrorCode([&] { Variant(u"abc").AsI4(); }), code::kTypeMismatch);
    EXPECT_EQ(Variant(2640.189f).AsStr(), u"2640.189");
    for (const char16_t* big : {u"1e39", u"1e400", u"-1e400"}) {
        EXPECT_EQ(ErrorCode([&] { Variant(big).AsR4(); }), code::kOverflow) << "no overflow";
    }
    EXPECT_THROW(Variant(u"1e400").AsR8(), Error);
    EXPECT_EQ(Variant().AsObject(), nullptr);
}

TEST(AutomationCollection, IndexKeyAndEnumeration) {
    Collection c;
    c.Add(Variant(std::int32_t(10)), u"ten");
    c.Add(Variant(u"x"));
    EXPECT_EQ(c.Count(), 2);
    EXPECT_EQ(c.Item(Variant(std::int32_t(1))).AsI4(), 10);
    EXPECT_EQ(c.Item(Variant(u"TEN")).AsI4(), 10);
    EXPECT_THROW(c.Item(Variant(std::int32_t(3))), Error);
    EXPECT_THROW(c.Add(Variant(), u"Ten"), Error);
    c.Remove(Variant(u"ten"));
    ASSERT_EQ(c.Items().size(), 1u);
    EXPECT_EQ(c.Items()[0].AsStr(), u"x");
}

namespace {
struct Thing : Object {
    static constexpr std::u16string_view kIid = u"{THING}";
};
}  // namespace

TEST(AutomationFactory, CreatesByIdAndReportsUnknown) {
    ComponentFactory f;
    f.Register(u"{ABC}", [] { return std::make_shared<Thing>(); });
    f.Register(u"Sim.Thing", [] { return std::make_shared<Thing>(); });
    EXPECT_NE(Query<Thing>(f.Create(u"{abc}")), nullptr);
    EXPECT_NE(Query<Thing>(f.Create(u"sim.thing")), nullptr);
    EXPECT_EQ(ErrorCode([&] { f.Create(u"No.Such"); }), code::kClassNotRegistered);
}
