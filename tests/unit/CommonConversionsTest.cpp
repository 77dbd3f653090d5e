#include <gtest/gtest.h>

#include "support/ErrorCode.h"
#include "support/PlatformTest.h"

#include <cmath>
#include <functional>
#include <vector>

#include "automation/NumberText.h"
#include "automation/Variant.h"
#include "common/MCommon.h"
#include "headless/HeadlessPlatform.h"
#include "ui/Window.h"

using automation::BStr;
using automation::ByteArray;
using automation::Variant;
namespace code = automation::code;

namespace {

// A code page whose conversion lets out an exception that is not a standard one.
class ThrowingAnsi : public headless::HeadlessPlatform {
public:
    char16_t AnsiChar(std::uint8_t) const override { throw 7; }
};

// A system code page in which some characters take two bytes.
class DoubleByteAnsi : public headless::HeadlessPlatform {
public:
    std::int32_t AnsiCode(char16_t c) const override { return c == u'\u3042' ? 0x82A0 : HeadlessPlatform::AnsiCode(c); }
};

using Conversions = PlatformTest;

TEST_F(Conversions, TextToZeroTerminatedBytes) {
    Variant v = MCommon::StrToBytStr(u"AB");
    ASSERT_EQ(v.Type(), automation::VarType::Bytes);
    EXPECT_EQ(v.AsBytes(), (ByteArray{65, 66, 0}));
    EXPECT_EQ(MCommon::StrToBytStr(u"").AsBytes(), (ByteArray{0}));
    EXPECT_EQ(MCommon::StrToBytStr(u"\u00e9\u20ac\u2122").AsBytes(), (ByteArray{0xE9, 0x80, 0x99, 0}));

    ui::InstallPlatform(std::make_shared<DoubleByteAnsi>());
    EXPECT_EQ(MCommon::StrToBytStr(u"x\u00e9").AsBytes(), (ByteArray{'x', 0xE9, 0}));
    EXPECT_EQ(ErrorCode([] { MCommon::StrToBytStr(u"a\u3042"); }), code::kOverflow);
}

TEST_F(Conversions, BytesToTextStopsAtZeroAndNeverFails) {
    EXPECT_EQ(MCommon::BinToStr(Variant(ByteArray{72, 105, 0, 88})), u"Hi");
    EXPECT_EQ(MCommon::BinToStr(Variant(ByteArray{65, 66})), u"AB");
    EXPECT_EQ(MCommon::BinToStr(Variant(ByteArray{0, 65})), u"");
    EXPECT_EQ(MCommon::BinToStr(Variant(ByteArray{})), u"");
    EXPECT_EQ(MCommon::BinToStr(Variant(ByteArray{0x80, 0xE9, 0x93})), u"\u20ac\u00e9\u201c");
    // Values that hold no byte array give the empty text, without an error.
    EXPECT_EQ(MCommon::BinToStr(Variant(u"text")), u"");
    EXPECT_EQ(MCommon::BinToStr(Variant()), u"");
    EXPECT_EQ(MCommon::BinToStr(Variant(std::int32_t(65))), u"");
    EXPECT_EQ(MCommon::BinToStr(Variant(automation::Error(code::kFail, u"x"))), u"");

    // Every non-zero byte survives text and back, the code page's unassigned ones included.
    ByteArray all;
    for (int b = 1; b <= 255; ++b) all.push_back(static_cast<std::uint8_t>(b));
    BStr text = MCommon::BinToStr(Variant(all));
    ASSERT_EQ(text.size(), 255u);
    all.push_back(0);
    EXPECT_EQ(MCommon::StrToBytStr(text).AsBytes(), all);
    EXPECT_EQ(platform_->AnsiCode(u'\uFFFD'), '?') << "a character outside the code page is not an unassigned byte";

    ui::InstallPlatform(std::make_shared<ThrowingAnsi>());
    BStr fromForeign = u"x";
    EXPECT_NO_THROW(fromForeign = MCommon::BinToStr(Variant(ByteArray{65, 66})));
    EXPECT_EQ(fromForeign, u"");
}

TEST_F(Conversions, IdentifierFormatters) {
    using MCommon::FormatNeuronID;
    using MCommon::FormatProgramID;
    EXPECT_EQ(FormatNeuronID(u"000A1B2C3D4E"), u"00-0A-1B-2C-3D-4E");
    EXPECT_EQ(FormatNeuronID(u"ABCDE"), u"AB-CD");
    EXPECT_EQ(FormatNeuronID(u"ABC"), u"AB");
    EXPECT_EQ(FormatNeuronID(u"AB"), u"AB");
    EXPECT_EQ(FormatNeuronID(u"A"), u"A");
    EXPECT_EQ(FormatNeuronID(u""), u"");
    EXPECT_EQ(FormatProgramID(u"80000A1B2C3D4E5F"), u"80000A-1B2C-3D4E-5F");
    EXPECT_EQ(FormatProgramID(u""), u"---");
    EXPECT_EQ(FormatProgramID(u"12345678"), u"123456-78--");
    EXPECT_EQ(FormatProgramID(u"80000A1B2C3D4E5F77"), u"80000A-1B2C-3D4E-5F");
}

class FakeDevice : public outside::ILnsAppDevice {
public:
    BStr Name() override { return u"Dev"; }
    std::int16_t State() override {
        ++reads;
        if (fails) automation::Raise(code::kFail, u"The device does not answer");
        if (throwsForeign) throw 7;  // what a component built with another runtime may let out
        return 3;
    }
    bool fails = false;
    bool throwsForeign = false;
    int reads = 0;
};

TEST_F(Conversions, ProbeAnswersWhetherTheStateCanBeRead) {
    auto dev = std::make_shared<FakeDevice>();
    EXPECT_EQ(MCommon::ProbeDeviceCommunication(dev), automation::kTrue);
    dev->fails = true;
    automation::VBool answer = automation::kTrue;
    EXPECT_NO_THROW(answer = MCommon::ProbeDeviceCommunication(dev));
    EXPECT_EQ(answer, automation::kFalse);
    EXPECT_EQ(dev->reads, 2);
    dev->fails = false;
    dev->throwsForeign = true;
    answer = automation::kTrue;
    EXPECT_NO_THROW(answer = MCommon::ProbeDeviceCommunication(dev));
    EXPECT_EQ(answer, automation::kFalse);
    EXPECT_EQ(MCommon::ProbeDeviceCommunication(nullptr), automation::kFalse);
}

std::shared_ptr<ui::ListView> ListWithWidths(ui::Window& w, const std::vector<float>& widths) {
    auto lvw = w.Add<ui::ListView>(u"lvw" + automation::DecimalText(static_cast<long long>(w.Controls().size())));
    for (float f : widths) lvw->AddColumn(u"", u"h", f);
    return lvw;
}

std::vector<float> Widths(const ui::ListView& lvw) {
    std::vector<float> out;
    for (int i = 1; i <= lvw.ColumnCount(); ++i) out.push_back(lvw.Column(i).width);
    return out;
}

TEST_F(Conversions, ColumnWidthsReadAndRoundTrip) {
    auto w = ui::Window::Create(u"frmLists");
    BStr text = u"stale";
    MCommon::ColumnWidthsText(*ListWithWidths(*w, {1800, 2640.189f}), false, text);
    EXPECT_EQ(text, u"1800,2640.189,");
    MCommon::ColumnWidthsText(*ListWithWidths(*w, {}), false, text);
    EXPECT_EQ(text, u"");
    MCommon::ColumnWidthsText(*ListWithWidths(*w, {0, 0.5f, 1234567.0f}), false, text);
    EXPECT_EQ(text, u"0,0.5,1234567,");

    const BStr defaults = u"1800,2640.189,1800,1599.874,1800,1440,1440,";
    auto lvw = ListWithWidths(*w, {1, 1, 1, 1, 1, 1, 1});
    BStr consumed = defaults;
    MCommon::ColumnWidthsText(*lvw, true, consumed);
    EXPECT_EQ(consumed, u"");
    EXPECT_EQ(Widths(*lvw), (std::vector<float>{1800, 2640.189f, 1800, 1599.874f, 1800, 1440, 1440}));
    MCommon::ColumnWidthsText(*lvw, false, text);
    EXPECT_EQ(text, defaults);
}

TEST_F(Conversions, ColumnWidthsApplyKeepsWhatIsNotANumber) {
    auto w = ui::Window::Create(u"frmLists");
    auto apply = [&](std::vector<float> start, BStr text, std::vector<float> expected, const BStr& left) {
        auto lvw = ListWithWidths(*w, start);
        MCommon::ColumnWidthsText(*lvw, true, text);
        EXPECT_EQ(Widths(*lvw), expected) << automation::ToUtf8(text);
        EXPECT_EQ(text, left);
    };
    apply({10, 20, 30}, u"100,abc,300,", {100, 20, 300}, u"");
    apply({10, 20}, u"1,2,3,4,", {1, 2}, u"3,4,");
    apply({10, 20, 30}, u"5,,7", {5, 20, 30}, u"7");  // the last entry has no comma: missing
    apply({10, 20}, u"500", {10, 20}, u"500");
    apply({10, 20, 30, 40}, u"12abc,-5,1e99,&H10,", {10, 20, 30, 16}, u"");
    apply({10, 20}, u" 2 0 0 ,\t1.5e3,", {200, 1500}, u"");
    apply({}, u"1,2,", {}, u"1,2,");
}

TEST_F(Conversions, LenientReaderDetails) {
    using automation::ReadNumber;
    EXPECT_EQ(ReadNumber(u"1\r2").value, 1) << "a carriage return is not a blank";
    EXPECT_FALSE(ReadNumber(u"12\r").complete);
    EXPECT_EQ(ReadNumber(u"1\n2").value, 12);
    EXPECT_EQ(ReadNumber(u"+7").value, 7);
    EXPECT_EQ(ReadNumber(u"-.5").value, -0.5);
    EXPECT_EQ(ReadNumber(u"1.2.3").value, 1.2);
    EXPECT_EQ(ReadNumber(u"2d3").value, 2000);
    EXPECT_EQ(ReadNumber(u"&o777").value, 511);
    EXPECT_TRUE(ReadNumber(u"&H7FFF").complete);
    EXPECT_FALSE(ReadNumber(u"&H").complete);
    EXPECT_FALSE(ReadNumber(u"").complete);
    EXPECT_EQ(ReadNumber(u"1e999").value, HUGE_VAL);
    EXPECT_EQ(ReadNumber(u"-1e999").value, -HUGE_VAL);
    EXPECT_EQ(ReadNumber(u"1e-999").value, 0);
    EXPECT_EQ(ReadNumber(u"0.000000000000000000000000000000000000000000000000000000000000001e-300").value, 0);
    EXPECT_EQ(automation::SingleText(-1599.874f), u"-1599.874");
    EXPECT_EQ(automation::SingleText(1e10f), u"1e+10");
}

}  // namespace
