#include "runtime/SystemService.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/Platform.h"
#include "runtime/Arrays.h"
#include "runtime/Events.h"
#include "runtime/Failure.h"
#include "runtime/Memory.h"
#include "runtime/TextSearch.h"
#include "runtime/Texts.h"
#include "runtime/Truncation.h"
#include "runtime/Value.h"

namespace quenlark {

const char kUnsupportedServiceCaption[] = "ravelstone";
const char kFatalServiceCaption[] = "ERROR";

namespace {

constexpr std::size_t kPathBuffer = 260;

// What kModulePath hands out, by its argument `a`.
constexpr std::intptr_t kPathDirectory = 1;
constexpr std::intptr_t kPathDirectoryToo = 2001;
constexpr std::intptr_t kPathFileName = 2002;

// Process-wide path buffers of kModulePath, kDirectory and kFileName, overwritten by each call.
char g_directory[kPathBuffer];
char g_fileName[kPathBuffer];
char g_directoryNoSlash[kPathBuffer];

// Splits the executable path at its last backslash; both parts empty when it cannot be read.
void SplitModulePath(char (&directory)[kPathBuffer], char (&fileName)[kPathBuffer], bool keepSlash) noexcept {
    char path[kPathBuffer];
    directory[0] = fileName[0] = '\0';
    if (platform::ModuleFileName(path, sizeof path) == 0) return;
    const char* slash = std::strrchr(path, '\\');
    const std::size_t cut = slash ? static_cast<std::size_t>(slash - path) : 0;
    const std::size_t dirLength = slash ? cut + (keepSlash ? 1 : 0) : 0;
    std::memcpy(directory, path, dirLength);
    directory[dirLength] = '\0';
    std::snprintf(fileName, sizeof fileName, "%s", slash ? slash + 1 : path);
}

std::int32_t ValueRecordToInt(const unsigned char* record) noexcept {
    std::uint64_t bits;
    std::uint32_t type;
    std::memcpy(&bits, record, 8);
    std::memcpy(&type, record + 8, 4);
    const TypedArg value = TypedArg::Raw(type, bits);
    switch (type) {
        case TC_FLOAT:
            return static_cast<std::int32_t>(TruncateToInt64(value.Float()));
        case TC_DOUBLE:
            return static_cast<std::int32_t>(TruncateToInt64(value.Double()));
        default:  // TC_INT64 keeps its low 32 bits, every other type its low word
            return value.Low();
    }
}

// The box text is built in a fixed buffer: this path runs when anything may have failed, memory
// included. A text too long for it is cut before a character, never inside one.
[[noreturn]] void FatalServiceError(const char* text) noexcept {
    static constexpr char kPrefix[] = "Ravelstone RunTime Error:\r\n\r\n";
    constexpr std::size_t kPrefixBytes = sizeof kPrefix - 1;
    char message[kFatalServiceTextBytes];
    const std::string_view detail = text ? text : "";
    std::size_t kept = std::min(detail.size(), sizeof message - 1 - kPrefixBytes);
    if (kept < detail.size() && !IsCharBoundary(detail, 0, kept)) --kept;
    std::memcpy(message, kPrefix, kPrefixBytes);
    std::memcpy(message + kPrefixBytes, detail.data(), kept);
    message[kPrefixBytes + kept] = '\0';
    platform::ShowMessage(nullptr, message, kFatalServiceCaption, platform::kMessageBoxIconError);
    RtExit(0);
}

std::intptr_t Unsupported(std::int32_t code) noexcept {
    char message[128];
    std::snprintf(message, sizeof message, "不支持系统功能函数%d. 请将此信息反馈给作者", static_cast<int>(code));
    platform::ShowMessage(nullptr, message, kUnsupportedServiceCaption, platform::kMessageBoxIconError);
    return 0;
}

std::intptr_t AsResult(const void* p) noexcept { return reinterpret_cast<std::intptr_t>(p); }

}  // namespace

const char* SkipProgramName(const char* line) noexcept {
    if (!line) return kEmptyText;
    const char* end = line + std::strlen(line);
    const char* rest;
    if (*line == '"') {
        const char* close = std::strchr(line + 1, '"');
        if (!close) return end;
        rest = close + 1;
        if (*rest == ' ') ++rest;
    } else {
        const char* space = std::strchr(line, ' ');
        if (!space) return end;
        rest = space + 1;
    }
    return rest;
}

std::intptr_t RT_STDCALL SystemService(std::int32_t code, std::intptr_t a, std::intptr_t b) noexcept {
    switch (static_cast<ServiceCode>(code)) {
        case ServiceCode::kAnswerOne:
            return 1;
        case ServiceCode::kAnswerFour:
            return 4;
        case ServiceCode::kAnswerThree:
            return 3;
        case ServiceCode::kIgnoredFirst:
        case ServiceCode::kIgnoredSecond:
            return 0;
        case ServiceCode::kModulePath: {
            SplitModulePath(g_directory, g_fileName, true);
            const char* handedOut = (a == kPathDirectory || a == kPathDirectoryToo) ? g_directory
                                    : a == kPathFileName                            ? g_fileName
                                                                                    : nullptr;
            // The caller's buffer is a MAX_PATH buffer, as the paths themselves are.
            if (handedOut && b) std::snprintf(reinterpret_cast<char*>(b), kPathBuffer, "%s", handedOut);
            return AsResult(handedOut);
        }
        case ServiceCode::kValueRecordToInt:
            return a ? ValueRecordToInt(reinterpret_cast<const unsigned char*>(a)) : 0;
        case ServiceCode::kArguments:
            return AsResult(SkipProgramName(platform::CommandLine()));
        case ServiceCode::kDirectory:
            SplitModulePath(g_directoryNoSlash, g_fileName, false);
            return g_fileName[0] || g_directoryNoSlash[0] ? AsResult(g_directoryNoSlash) : 0;
        case ServiceCode::kFileName:
            SplitModulePath(g_directoryNoSlash, g_fileName, false);
            return g_fileName[0] ? AsResult(g_fileName) : 0;
        case ServiceCode::kDispatchMessages:
            ProcessEvents();
            return 0;
        case ServiceCode::kFreeArray: {
            const auto type = static_cast<std::uint32_t>(a);
            void* array = reinterpret_cast<void*>(b);
            if (type == TC_TEXT || type == TC_BYTESET) {
                FreeArrayDeep(array);
            } else if (IsBasicType(type)) {
                RtFree(array);
            }
            return 0;
        }
        case ServiceCode::kAllocate:
            return AsResult(RtAlloc(static_cast<std::size_t>(a)));
        case ServiceCode::kFree:
            RtFree(reinterpret_cast<void*>(a));
            return 0;
        case ServiceCode::kReallocate:
            return AsResult(RtRealloc(reinterpret_cast<void*>(a), static_cast<std::size_t>(b)));
        case ServiceCode::kFatalError:
            FatalServiceError(reinterpret_cast<const char*>(a));
        case ServiceCode::kExit:
            RtExit(static_cast<unsigned>(a));
        default:
            return Unsupported(code);
    }
}

}  // namespace quenlark
