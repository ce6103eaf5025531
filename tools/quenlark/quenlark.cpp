// quenlark: calls the two exports of Quenlark.dll from the command line.
//   quenlark resolve [-v] [--follow] URL   the direct link of a share page; with --follow also
//                                          the address that link redirects to (a second line)
//   quenlark location [-v] URL             the Location value of URL's response
// Exit code 0 when every printed result is non-empty, 1 otherwise, 2 for a usage or load error.
// An empty result is explained in one line on standard error (the first failure the library's
// trace names); -v prints the whole trace there. The trace reaches this program through
// QUENLARK_TRACE, which it points at a file of its own for its run.
//
// The DLL is loaded from this program's own folder, never from the current one. Arguments are
// taken from the wide command line and handed to the DLL in code page 936; its results (code
// page 936) are written with WriteConsoleW to a console, and as UTF-8 when the output is
// redirected (a file or a pipe), whatever the system's code pages are.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr UINT kLibraryCodePage = 936;
using ExportFn = char*(__stdcall*)(const char*);

std::wstring Widen(std::string_view text, UINT codePage) {
    if (text.empty()) return {};
    const int size = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string Narrow(std::wstring_view text, UINT codePage) {
    if (text.empty()) return {};
    const int size =
        ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size, nullptr,
                              nullptr);
    }
    return narrow;
}

// One line of output: `text` is code page 936. Lines end in CR LF on a console, in LF otherwise.
void PrintLine(std::string_view text, DWORD stream = STD_OUTPUT_HANDLE) {
    const std::wstring wide = Widen(text, kLibraryCodePage);
    const HANDLE out = ::GetStdHandle(stream);
    DWORD mode = 0;
    DWORD written = 0;
    if (::GetConsoleMode(out, &mode)) {
        const std::wstring line = wide + L"\r\n";
        ::WriteConsoleW(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    const std::string line = Narrow(wide, CP_UTF8) + "\n";
    ::WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

int Usage(bool asked) {
    std::fputs(
        "usage: quenlark resolve [-v] [--follow] URL\n"
        "       quenlark location [-v] URL\n"
        "\n"
        "resolve   prints the direct link of a file's share page (HttpGetUrl); with --follow\n"
        "          also, on a second line, the address that link redirects to\n"
        "location  prints the Location value of URL's response, no redirect followed\n"
        "          (Quenlark_Location)\n"
        "-v        prints the library's trace of each call on standard error\n"
        "\n"
        "Quenlark.dll is loaded from this program's folder. Output is UTF-8 when redirected.\n"
        "Exit code: 0 when every printed result is non-empty, 1 when one is empty,\n"
        "2 for a usage error or when the library cannot be loaded.\n",
        asked ? stdout : stderr);
    return asked ? 0 : 2;
}

class Library {
public:
    Library() {
        std::wstring path(MAX_PATH, L'\0');
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        path.resize(length);
        path.resize(path.find_last_of(L"\\/") + 1);
        module_ = ::LoadLibraryW((path + L"Quenlark.dll").c_str());
        if (!module_) std::fprintf(stderr, "quenlark: cannot load Quenlark.dll (error %lu)\n", ::GetLastError());
    }
    ~Library() {
        if (module_) ::FreeLibrary(module_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    [[nodiscard]] ExportFn Export(const char* name) const {
        if (!module_) return nullptr;
        auto function = reinterpret_cast<ExportFn>(reinterpret_cast<void*>(::GetProcAddress(module_, name)));
        if (!function) std::fprintf(stderr, "quenlark: Quenlark.dll has no export %s\n", name);
        return function;
    }

private:
    HMODULE module_ = nullptr;
};

// The library's trace of this run: a file of this program's own, named in QUENLARK_TRACE
// before the library is loaded, and removed at the end.
class TraceFile {
public:
    TraceFile() {
        std::wstring folder(MAX_PATH + 1, L'\0');
        folder.resize(::GetTempPathW(static_cast<DWORD>(folder.size()), folder.data()));
        path_ = folder + L"quenlark-trace-" + std::to_wstring(::GetCurrentProcessId()) + L".log";
        ::DeleteFileW(path_.c_str());
        ::SetEnvironmentVariableW(L"QUENLARK_TRACE", path_.c_str());
    }
    ~TraceFile() { ::DeleteFileW(path_.c_str()); }
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    // Its lines (code page 936), as far as they go.
    [[nodiscard]] std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::FILE* file = ::_wfopen(path_.c_str(), L"rb");
        if (!file) return lines;
        std::string line;
        for (int c; (c = std::fgetc(file)) != EOF;) {
            if (c != '\n') {
                line.push_back(static_cast<char>(c));
                continue;
            }
            lines.push_back(line);
            line.clear();
        }
        std::fclose(file);
        return lines;
    }

private:
    std::wstring path_;
};

// The first failure the trace names (the cause; later ones follow from it), or empty.
std::string FirstFailure(const std::vector<std::string>& lines) {
    constexpr std::string_view kFailure = "[Quenlark] failure: ";
    for (const std::string& line : lines) {
        if (line.rfind(kFailure, 0) == 0) return line.substr(kFailure.size());
    }
    return {};
}

// Calls the export and copies its result: the library's own copy lives only until its next call.
std::string Call(ExportFn function, const std::string& argument) {
    const char* result = function(argument.c_str());
    return result ? std::string(result) : std::string();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && (!std::wcscmp(argv[1], L"--help") || !std::wcscmp(argv[1], L"-h"))) return Usage(true);
    if (argc < 3) return Usage(false);
    const std::wstring_view command = argv[1];
    if (command != L"resolve" && command != L"location") return Usage(false);
    bool follow = false;
    bool verbose = false;
    for (int i = 2; i < argc - 1; ++i) {
        const std::wstring_view option = argv[i];
        if (option == L"-v" && !verbose) {
            verbose = true;
        } else if (option == L"--follow" && command == L"resolve" && !follow) {
            follow = true;
        } else {
            return Usage(false);
        }
    }
    const std::string url = Narrow(argv[argc - 1], kLibraryCodePage);

    const TraceFile trace;
    const Library library;
    const ExportFn location = library.Export("Quenlark_Location");
    const ExportFn resolve = library.Export("HttpGetUrl");
    if (!location || !resolve) return 2;

    const std::string first = Call(command == L"resolve" ? resolve : location, url);
    PrintLine(first);
    bool found = !first.empty();
    if (follow) {
        const std::string target = found ? Call(location, first) : std::string();
        PrintLine(target);
        found = found && !target.empty();
    }
    const std::vector<std::string> lines = trace.Lines();
    if (verbose) {
        for (const std::string& line : lines) PrintLine(line, STD_ERROR_HANDLE);
    }
    if (!found) {
        const char* what = command == L"location" ? "no Location value"
                           : first.empty()        ? "no direct link"
                                                  : "no address behind the direct link";
        const std::string reason = FirstFailure(lines);
        const std::string line = std::string("quenlark: ") + what + (reason.empty() ? "" : ": " + reason) +
                                 (verbose ? "" : " (run with -v for the whole trace)");
        PrintLine(line, STD_ERROR_HANDLE);
    }
    return found ? 0 : 1;
}
