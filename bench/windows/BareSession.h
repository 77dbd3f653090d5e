#pragma once
// The baseline: the display's windows made and destroyed with bare Win32 calls, as a hand-written
// program would make them. No control model, no peers, no COM server; only the workspace control
// goes through COM, hosted by atl.dll's AtlAxWin as the DLL hosts it.
#include <windows.h>

#include <string>
#include <vector>

#include "Census.h"

namespace bench {

struct Display {
    std::wstring caption;          // the window title
    std::wstring workspaceProgId;  // the ActiveX control in the device view
    std::vector<std::wstring> features;
};

enum BarePhase { kBareCreate, kBareHost, kBareShow, kBareDestroy, kBarePhases };
inline constexpr const char* kBarePhaseNames[kBarePhases] = {"window, menu and controls", "AtlAxWin workspace control",
                                                             "show, paint and message loop", "destroy and message loop"};

// Once per process, outside any timing: atl.dll and the window classes.
bool PrepareBare(std::string& why);
// One session; times in microseconds per phase. The census, when asked for, is taken while the
// window shows.
bool BareSession(const Display& d, double* times, Census* census = nullptr);

// The phase the running session is in (its index, set as each phase begins), for the profile;
// with g_markPhases each start is also written to the debugger (WINEDEBUG=+server,+debugstr
// traces then show which requests to the Wine server belong to which phase).
inline int g_phase = 0;
inline bool g_markPhases = false;
void PhaseBegins(int phase);

// Microseconds since an arbitrary start.
double NowUs();
// Runs what is waiting in the thread's queue.
void Drain();

}  // namespace bench
