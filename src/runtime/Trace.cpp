#include "runtime/Trace.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/Platform.h"

namespace quenlark::trace {

namespace {

constexpr std::size_t kMaxLine = 2048;
constexpr std::size_t kMaxPath = 1024;

// Where this thread's current call writes: nowhere, the debugger, or a file.
enum class Sink { Off, Debugger, File };

struct State {
    Sink sink = Sink::Off;
    char path[kMaxPath] = {};
    int depth = 0;
};

thread_local State t_state;

void Write(const char* line) noexcept {
    if (t_state.sink == Sink::Debugger) {
        platform::DebugOutput(line);
        return;
    }
    // Opened for every line: nothing stays open between calls, and lines of several
    // processes appending to one file stay whole.
    if (std::FILE* file = std::fopen(t_state.path, "ab")) {
        std::fputs(line, file);
        std::fclose(file);
    }
}

}  // namespace

bool On() noexcept { return t_state.sink != Sink::Off; }

void Line(const char* kind, const char* format, ...) noexcept {
    if (!On()) return;
    char line[kMaxLine];
    int used = std::snprintf(line, sizeof line, "[Quenlark] %s: ", kind);
    if (used < 0) return;
    std::va_list args;
    va_start(args, format);
    const int more = std::vsnprintf(line + used, sizeof line - static_cast<std::size_t>(used), format, args);
    va_end(args);
    used = more < 0 ? used : std::min<int>(used + more, static_cast<int>(sizeof line) - 2);
    line[used] = '\n';
    line[used + 1] = '\0';
    Write(line);
}

CallScope::CallScope(const char* exportName, const char* argument) noexcept
    : exportName_(exportName), outer_(t_state.depth++ == 0) {
    if (!outer_) return;  // a call made from inside another keeps the outer one's sink
    char value[kMaxPath] = {};
    const std::size_t length = platform::EnvironmentValue("QUENLARK_TRACE", value, sizeof value);
    if (length == 0 || length >= sizeof value || std::strcmp(value, "0") == 0) {
        t_state.sink = Sink::Off;
    } else if (std::strcmp(value, "1") == 0) {
        t_state.sink = Sink::Debugger;
    } else {
        t_state.sink = Sink::File;
        std::memcpy(t_state.path, value, length + 1);
    }
    Line("call", "%s \"%s\"", exportName_, argument ? argument : "");
}

void CallScope::Result(const char* result) noexcept {
    Line("result", "%s gives \"%s\"%s", exportName_, result ? result : "", result && *result ? "" : " (no result)");
}

CallScope::~CallScope() {
    if (--t_state.depth == 0) t_state.sink = Sink::Off;
}

}  // namespace quenlark::trace
