// The trace of outside calls, notifications and host calls, as a host author reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "support/HostSession.h"
#include "outside/Traced.h"
#include "session/MMain.h"

namespace {

class TraceTest : public ::testing::Test {
protected:
    // Each reading of the clock is one microsecond after the last.
    void SetUp() override {
        outside::EnableTrace([this](const std::string& line) { lines.push_back(line); }, [this] { return ++ticks; });
    }
    void TearDown() override { outside::DisableTrace(); }
    // The one line that matches, or a failure naming what was recorded.
    std::string Line(const std::string& pattern) const {
        std::vector<std::string> found;
        for (const auto& l : lines)
            if (std::regex_search(l, std::regex(pattern))) found.push_back(l);
        std::string all;
        for (const auto& l : lines) all += l + "\n";
        EXPECT_EQ(found.size(), 1u) << pattern << " in\n" << all;
        return found.empty() ? std::string() : found.front();
    }
    std::vector<std::string> lines;
    std::int64_t ticks = 0;
};

TEST_F(TraceTest, HostCallsWithTheirResultsAndTheHostsEvent) {
    HostSession s;
    EXPECT_THROW(s.Open(), automation::Error);
    s.StartAndOpen();
    s.Exit();
    Line(R"(^#1 host +IHalvernServer\.RunFullAppView\(\) failed 0x800A005B .+, [0-9.]+ ms$)");
    Line(
        R"(host +IHalvernServer\.StartApp\(object, object, 3\.2, True, "Fan Controller", "Fan Coil 1/nvoStatus", object, True\) = True ok)");
    Line(R"(host +IHalvernServer\.RunFullAppView\(\) = -1 ok)");
    Line(R"(host +IHalvernServer\.ExitApp\(\) ok)");
    // Raised inside ExitApp, so written before it, one level deeper.
    Line(R"(host    IHalvernServer\.OnAppExit\(\) ok)");
    const auto at = [this](const std::string& l) { return std::find(lines.begin(), lines.end(), l) - lines.begin(); };
    EXPECT_EQ(at(Line("OnAppExit")) + 1, at(Line("ExitApp\\(\\) ok")));
}

TEST_F(TraceTest, NotificationHoldsTheCallsItsHandlersMade) {
    OpenedSession s;
    const auto event = Line(R"(event +PluginServer\.WorkspaceAvailable\("QuilletSim\.FanWorkspace"\) ok)");
    const auto load = Line(R"(call +PluginServer\.LoadDevice\(object, object, True, True\) = True ok)");
    const auto attach = Line(R"(call +QuilletSim\.FanWorkspace\.AttachLink\(object\) = Empty ok, 0\.001 ms$)");
    // Indented one level under the call it came from, and its handler's calls under it.
    const auto indent = [](const std::string& l) { return l.find_first_not_of(' ', l.find(' ', l.find(' ') + 1)); };
    EXPECT_EQ(indent(event), indent(load) + 2);
    EXPECT_EQ(indent(attach), indent(event) + 2);
}

TEST_F(TraceTest, FailuresSayWhetherTheCallerDroppedThem) {
    OpenedSession s;
    s.world->launchOutcome = sim::Outcome::Fail;
    s.Control(u"cmdDevice", 1)->Click.Raise();
    Line(R"(call +PluginServer\.LaunchFeature\(1, [0-9]+\) failed 0x80004005 [^,]+, 0\.001 ms, ignored$)");
    s.world->SetAnswering(s.device, false);
    s.platform->Advance(10000);
    Line(R"(call +AppDevice\.State\(\) failed 0x80004005 .*, ignored$)");
    s.Exit();
}

TEST_F(TraceTest, AControlThatCannotBeCreatedIsNotDroppedButReplaced) {
    HostSession s(false);
    s.world->AddPlugin({HostSession::kProgramId, u"", {}, u"No.Such.Control"});
    s.world->SetFallbackWorkspaceInstalled(false);
    s.StartAndOpen();
    Line(
        R"(call +Components\.Create\("No\.Such\.Control"\) failed 0x80040154 Class not registered: No\.Such\.Control, [0-9.]+ ms$)");
    Line(R"(call +Components\.Create\("CEAQuilletUnknownWS\.Workspace"\) failed 0x80040154 )");
}

TEST_F(TraceTest, OffWrapsNothingAndWritesNothing) {
    outside::DisableTrace();
    OpenedSession s;
    s.Exit();
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(MMain::LnsAppDevice(), s.device);
}

}  // namespace
