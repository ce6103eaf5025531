// The exports' total time through the real DLL: an answer that never ends holds the host no
// longer than the exchange's time, and the library, though the host frees it, stays loaded
// until the exchange it left behind has ended. The DLL's clock runs 200 times faster here (its
// imports of the tick count and of the timed wait are pointed at the test's), so that 60 s
// pass in a third of a second.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "e2e/support/EndToEnd.h"
#include "e2e/support/MessageBoxRecorder.h"
#include "http/support/ScriptedServer.h"

namespace quenlark::testing_support {
namespace {

using ExportFn = char*(__stdcall*)(const char*);

ULONGLONG g_clockStart = 0;

ULONGLONG WINAPI FastTickCount() {
    const ULONGLONG now = ::GetTickCount64();
    return g_clockStart + (now - g_clockStart) * 200;
}

BOOL WINAPI ShortWait(PCONDITION_VARIABLE condition, PSRWLOCK lock, DWORD ms, ULONG flags) {
    return ::SleepConditionVariableSRW(condition, lock, std::min<DWORD>(ms, 20), flags);
}

class FastClockDll {
public:
    FastClockDll() : module_(::LoadLibraryA("Quenlark.dll")) {
        if (!module_) return;
        g_clockStart = ::GetTickCount64();
        patched_ =
            PatchImport(module_, "kernel32.dll", "GetTickCount64", reinterpret_cast<void*>(&FastTickCount)) &&
            PatchImport(module_, "kernel32.dll", "SleepConditionVariableSRW", reinterpret_cast<void*>(&ShortWait));
    }
    ~FastClockDll() { Free(); }
    FastClockDll(const FastClockDll&) = delete;
    FastClockDll& operator=(const FastClockDll&) = delete;

    [[nodiscard]] bool Ready() const { return module_ && patched_; }
    [[nodiscard]] HMODULE Module() const { return module_; }
    [[nodiscard]] ExportFn Export(const char* name) const {
        return reinterpret_cast<ExportFn>(reinterpret_cast<void*>(::GetProcAddress(module_, name)));
    }
    void Free() {
        if (module_) ::FreeLibrary(module_);
        module_ = nullptr;
    }

private:
    HMODULE module_;
    bool patched_ = false;
};

bool Loaded() { return ::GetModuleHandleA("Quenlark.dll") != nullptr; }

// A header block that goes on a byte every 200 ms for minutes, after `start` at once.
bool ScriptEndlessHeaders(ScriptedServer& server, const std::string& start) {
    return server.Script(start + "X-Pad: " + std::string(3000, 'p') + "\r\n\r\n",
                         "drip=200 from=" + std::to_string(start.size()));
}

TEST(DeadlineEndToEnd, AnEndlessAnswerNeitherHoldsTheHostNorUnloadsTheLibraryUnderItsExchange) {
    ScriptedServer server;
    ASSERT_TRUE(server.Ready()) << server.StartError();
    ASSERT_FALSE(Loaded());
    {
        FastClockDll dll;
        ASSERT_TRUE(dll.Ready()) << "Quenlark.dll not loaded, or it imports no tick count or timed wait";
        MessageBoxRecorder boxes(dll.Module());
        ASSERT_TRUE(boxes.Installed());

        // The probe: the Location line came, the block never ended; no answer.
        ASSERT_TRUE(ScriptEndlessHeaders(server, "HTTP/1.1 302 Found\r\nLocation: /never-finished\r\n"));
        const char* where = dll.Export("Quenlark_Location")(server.HttpUrl("/d/slow").c_str());
        EXPECT_STREQ(where ? where : "", "");
        EXPECT_GE(server.Active(), 1) << "the call waited for the peer to stop";

        // The resolver goes on without the share page: no frame, no sign, the sign box.
        ASSERT_TRUE(ScriptEndlessHeaders(server, "HTTP/1.1 200 OK\r\n"));
        const char* link = dll.Export("HttpGetUrl")(server.HttpsUrl("/s/slow").c_str());
        EXPECT_STREQ(link ? link : "", "");
        EXPECT_GE(server.Active(), 2);
        const std::vector<RecordedBox> shown = boxes.Take();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, kSignatureBoxText);
    }
    // Freed by the host, but two exchanges it started are still waiting on the peer.
    EXPECT_TRUE(Loaded()) << "unloaded while its exchanges still run";

    server.Reset();  // the peer stops: the exchanges end, and with them the library
    for (int i = 0; i < 400 && Loaded(); ++i) ::Sleep(50);
    EXPECT_FALSE(Loaded());
}

}  // namespace
}  // namespace quenlark::testing_support
