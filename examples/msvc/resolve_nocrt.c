/* resolve_nocrt.c: the C example of examples/c/resolve.c for the MSVC ABI (clang-cl or Visual
 * C++), built without a C runtime: it links only Quenlark.lib and kernel32.lib. Same use, output
 * and exit codes:
 *
 *   resolve_nocrt SHARE_URL
 *
 * Prints the file's direct link and the address that link redirects to, one per line, as the
 * library returns them: code page 936 bytes. Exit code 0 when both are non-empty.
 */
#include "quenlark.h"

/* The few kernel32 functions needed, declared here: no Windows SDK headers are needed either. */
#define STD_OUTPUT_HANDLE ((unsigned long)-11)
#define STD_ERROR_HANDLE ((unsigned long)-12)
#ifdef __cplusplus
extern "C" {
#endif
__declspec(dllimport) char* __stdcall GetCommandLineA(void);
__declspec(dllimport) void* __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* bytes, unsigned long count,
                                              unsigned long* written, void* overlapped);
__declspec(dllimport) int __stdcall lstrlenA(const char* text);
__declspec(dllimport) __declspec(noreturn) void __stdcall ExitProcess(unsigned int code);
#ifdef __cplusplus
}
#endif

static void Write(unsigned long stream, const char* text) {
    unsigned long written;
    WriteFile(GetStdHandle(stream), text, (unsigned long)lstrlenA(text), &written, 0);
}

/* The command line's first argument after the program's name, cut at the next blank (a share
 * URL has none), or null. Quotes are honoured around the program's name only. */
static char* FirstArgument(char* line) {
    char* end;
    if (*line == '"') {
        for (++line; *line != '\0' && *line != '"'; ++line) {
        }
        if (*line == '"') ++line;
    }
    while (*line != '\0' && *line != ' ' && *line != '\t') ++line;
    while (*line == ' ' || *line == '\t') ++line;
    if (*line == '\0') return 0;
    for (end = line; *end != '\0' && *end != ' ' && *end != '\t'; ++end) {
    }
    *end = '\0';
    return line;
}

/* The program's entry point (lld-link /entry:start): no C runtime to call main. */
__declspec(noreturn) void start(void) {
    const char* shareUrl = FirstArgument(GetCommandLineA());
    const char* link;
    const char* target;
    if (shareUrl == 0) {
        Write(STD_ERROR_HANDLE, "usage: resolve_nocrt SHARE_URL\n");
        ExitProcess(2);
    }
    link = HttpGetUrl(shareUrl);
    if (link == 0 || *link == '\0') {
        Write(STD_ERROR_HANDLE, "resolve: no direct link\n");
        ExitProcess(1);
    }
    /* `link` stays valid until the next HttpGetUrl call; Quenlark_Location keeps its own result. */
    target = Quenlark_Location(link);
    Write(STD_OUTPUT_HANDLE, link);
    Write(STD_OUTPUT_HANDLE, "\n");
    Write(STD_OUTPUT_HANDLE, target != 0 ? target : "");
    Write(STD_OUTPUT_HANDLE, "\n");
    ExitProcess(target != 0 && *target != '\0' ? 0 : 1);
}
