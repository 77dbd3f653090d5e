#pragma once
// Whether the trace of outside calls is on for the objects created from now on, and where it goes.
//   environment: QUILLET_TRACE=1 turns it on, QUILLET_TRACE_FILE names a file it is appended to
//   per user:    HKEY_CURRENT_USER\Software\Norvale\LNSQuilletVexaProxy, DWORD Trace = 1 and string
//                TraceFile; the environment, when it says anything, wins.
// Every record goes to OutputDebugString, and to the file when one is named.

namespace win32::com {

inline constexpr wchar_t kTraceKey[] = L"Software\\Norvale\\LNSQuilletVexaProxy";

void ApplyTraceSettings();

}  // namespace win32::com
