// Library entry point: runtime start-up at attach, the shutdown sequence at detach.
#include <windows.h>

#include "export/Exports.h"
#include "runtime/Shutdown.h"
#include "runtime/Startup.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            quenlark::RuntimeStartup(module);
            quenlark::SetShutdownHook(&quenlark::ReleaseResults);
            break;
        case DLL_PROCESS_DETACH:
            quenlark::RunShutdownSequence();
            break;
        default:
            break;
    }
    return TRUE;
}
