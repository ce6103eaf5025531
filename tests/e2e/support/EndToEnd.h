// Fixtures of the end-to-end tests: the real Quenlark.dll loaded as a host loads it, its message
// boxes recorded, and (for EndToEnd) the stand-in service listening on the origin compiled into
// the DLL. Each test suite loads and starts its own.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "e2e/support/MessageBoxRecorder.h"
#include "e2e/support/Standin.h"

namespace quenlark::testing_support {

class LoadedDll : public ::testing::Test {
protected:
    using ExportFn = char*(__stdcall*)(const char*);

    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    // The exports' results, copied (a result lives only until the next call); null gives "".
    static std::string Resolve(const std::string& shareUrl);
    static std::string Location(const std::string& url);
    static std::vector<RecordedBox> Boxes() { return boxes_->Take(); }

    static std::string Origin() { return QUENLARK_SERVICE_ORIGIN; }
    static int Port() { return PortOfOrigin(QUENLARK_SERVICE_ORIGIN); }
    static std::string ShareUrl(std::string_view code) { return Origin() + "/s/" + std::string(code); }

    static inline HMODULE dll_ = nullptr;
    static inline ExportFn resolve_ = nullptr;
    static inline ExportFn location_ = nullptr;
    static inline std::unique_ptr<MessageBoxRecorder> boxes_;
};

class EndToEnd : public LoadedDll {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    static inline std::unique_ptr<Standin> standin_;
};

// The boxes the resolver shows, code page 936, and their caption "信息".
inline constexpr char kSignatureBoxText[] =
    // 获取签名失败,可能是网络问题,请重试,如果多次都出现此问题,说明软件需要更新了。
    "\xBB\xF1\xC8\xA1\xC7\xA9\xC3\xFB\xCA\xA7\xB0\xDC,\xBF\xC9\xC4\xDC\xCA\xC7\xCD\xF8\xC2\xE7\xCE\xCA\xCC\xE2,"
    "\xC7\xEB\xD6\xD8\xCA\xD4,\xC8\xE7\xB9\xFB\xB6\xE0\xB4\xCE\xB6\xBC\xB3\xF6\xCF\xD6\xB4\xCB\xCE\xCA\xCC\xE2,"
    "\xCB\xB5\xC3\xF7\xC8\xED\xBC\xFE\xD0\xE8\xD2\xAA\xB8\xFC\xD0\xC2\xC1\xCB\xA1\xA3";
inline constexpr char kJsonBoxText[] =
    // 解析json出现问题。请重试！
    "\xBD\xE2\xCE\xF6json\xB3\xF6\xCF\xD6\xCE\xCA\xCC\xE2\xA1\xA3\xC7\xEB\xD6\xD8\xCA\xD4\xA3\xA1";
inline constexpr char kBoxCaption[] = "\xD0\xC5\xCF\xA2";  // 信息

}  // namespace quenlark::testing_support
