// The trace: what each call of an export did, line by line, for a user who asks why a call
// gave nothing. Switched on per call by the environment variable QUENLARK_TRACE: "1" sends the
// lines to the debugger (OutputDebugString), any other value names a file they are appended
// to; unset, empty or "0" is off, and then every trace point costs one test of a flag.
//
// Each line is "[Quenlark] KIND: TEXT" in code page 936. Kinds: "call" (an export and its
// argument), "exchange" (one HTTP exchange), "resolve" (what the resolver read), "script" (an
// automation call that failed), "result" (what the export returns), and "failure" for what
// made the call fail; the first failure of a call is its cause, later ones its consequences.
#pragma once

namespace quenlark::trace {

// Whether the calling thread's current export call is traced.
[[nodiscard]] bool On() noexcept;

// One line of `kind`, printf-style, when on (cut at about 2,000 bytes).
void Line(const char* kind, const char* format, ...) noexcept
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// The span of one export call on the calling thread: reads QUENLARK_TRACE, writes the "call"
// line, and at the end the "result" line.
class CallScope {
public:
    CallScope(const char* exportName, const char* argument) noexcept;
    ~CallScope();
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;
    void Result(const char* result) noexcept;

private:
    const char* exportName_;
    bool outer_;
};

}  // namespace quenlark::trace
