// A trace sink for tests: SetTraceSink(CaptureTrace) keeps every traced line, from any thread, for the
// test to look through with Traced or CapturedTrace; ClearTrace forgets them. One buffer per test
// program: clear it before the run whose lines a test looks for.
#pragma once

#include <mutex>
#include <string>

namespace trace_capture {
inline std::mutex g_lock;
inline std::string g_text;
} // namespace trace_capture

inline void CaptureTrace(const char* pszLine) {
    std::lock_guard<std::mutex> lock(trace_capture::g_lock);
    trace_capture::g_text += pszLine;
}

inline void ClearTrace() {
    std::lock_guard<std::mutex> lock(trace_capture::g_lock);
    trace_capture::g_text.clear();
}

inline std::string CapturedTrace() {
    std::lock_guard<std::mutex> lock(trace_capture::g_lock);
    return trace_capture::g_text;
}

inline bool Traced(const char* pszText) {
    return CapturedTrace().find(pszText) != std::string::npos;
}
