// quenlark: calls the two exports of Quenlark.dll from the command line.
//   quenlark resolve URL     the direct link of a share page
//   quenlark location URL    the Location value of URL's response
// Exit code 0 when the result is not empty, 1 otherwise, 2 for a usage or load error.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

using ExportFn = char*(__stdcall*)(const char*);

int Usage(FILE* to) {
    std::fputs("usage: quenlark resolve URL\n"
               "       quenlark location URL\n"
               "Loads Quenlark.dll and prints the direct link of a share page (resolve)\n"
               "or the Location value of a URL's response (location).\n",
               to);
    return to == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) return Usage(stdout);
    if (argc != 3) return Usage(stderr);

    const char* exportName = nullptr;
    if (!std::strcmp(argv[1], "resolve")) exportName = "HttpGetUrl";
    if (!std::strcmp(argv[1], "location")) exportName = "Quenlark_Location";
    if (!exportName) return Usage(stderr);

    HMODULE library = ::LoadLibraryA("Quenlark.dll");
    if (!library) {
        std::fprintf(stderr, "quenlark: cannot load Quenlark.dll (error %lu)\n", ::GetLastError());
        return 2;
    }
    auto call = reinterpret_cast<ExportFn>(reinterpret_cast<void*>(::GetProcAddress(library, exportName)));
    if (!call) {
        std::fprintf(stderr, "quenlark: Quenlark.dll has no export %s\n", exportName);
        ::FreeLibrary(library);
        return 2;
    }
    const char* result = call(argv[2]);
    const bool found = result && *result;
    std::printf("%s\n", found ? result : "");
    ::FreeLibrary(library);
    return found ? 0 : 1;
}
