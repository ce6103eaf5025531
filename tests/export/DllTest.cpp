// Loads the built Quenlark.dll the way a host does and calls its exports.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using ExportFn = char*(__stdcall*)(const char*);

class LoadedLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = ::LoadLibraryA("Quenlark.dll");  // beside the test program
        ASSERT_NE(module_, nullptr) << "LoadLibrary failed: " << ::GetLastError();
        location_ = Export("Quenlark_Location");
        resolve_ = Export("HttpGetUrl");
        ASSERT_NE(location_, nullptr);
        ASSERT_NE(resolve_, nullptr);
    }
    void TearDown() override {
        if (module_) {
            EXPECT_TRUE(::FreeLibrary(module_));
        }
    }
    ExportFn Export(const char* name) const {
        return reinterpret_cast<ExportFn>(reinterpret_cast<void*>(::GetProcAddress(module_, name)));
    }
    ExportFn ExportByOrdinal(WORD ordinal) const {
        return reinterpret_cast<ExportFn>(
            reinterpret_cast<void*>(::GetProcAddress(module_, MAKEINTRESOURCEA(ordinal))));
    }
    static bool IsEmpty(const char* result) { return !result || !*result; }

    HMODULE module_ = nullptr;
    ExportFn location_ = nullptr;
    ExportFn resolve_ = nullptr;
};

TEST_F(LoadedLibrary, ExportsAreReachableByNameAndByOrdinal) {
    EXPECT_EQ(ExportByOrdinal(1), location_);
    EXPECT_EQ(ExportByOrdinal(2), resolve_);
    EXPECT_EQ(ExportByOrdinal(3), nullptr);
    EXPECT_EQ(Export("DllMain"), nullptr);
    EXPECT_EQ(Export("RtAlloc"), nullptr);
}

TEST_F(LoadedLibrary, NullAndOrdinaryArgumentsGiveEmptyResults) {
    // Nothing listens at these addresses (nor, in this test, at the service's origin): both
    // workers fail their first exchange and answer with the empty text.
    EXPECT_TRUE(IsEmpty(location_(nullptr)));
    EXPECT_TRUE(IsEmpty(resolve_(nullptr)));
    EXPECT_TRUE(IsEmpty(location_("http://127.0.0.1:1/nothing-here")));
    EXPECT_TRUE(IsEmpty(resolve_("https://share.example.test/s/abc")));
}

TEST_F(LoadedLibrary, AResultStaysReadableUntilTheNextCallOfTheSameExport) {
    const char* where = location_("http://127.0.0.1:1/a");
    const std::string whereCopy = where ? where : "";
    const char* link1 = resolve_("https://share.example.test/s/1");
    const char* link2 = resolve_("https://share.example.test/s/2");
    (void)link1;
    ASSERT_TRUE(where == nullptr || ::IsBadReadPtr(where, 1) == FALSE);
    EXPECT_EQ(std::string(where ? where : ""), whereCopy);  // other export's calls leave it alone
    EXPECT_TRUE(IsEmpty(link2));
}

TEST(LibraryLifetime, LoadsUnloadsAndLoadsAgain) {
    for (int round = 0; round < 3; ++round) {
        HMODULE module = ::LoadLibraryA("Quenlark.dll");
        ASSERT_NE(module, nullptr);
        auto location =
            reinterpret_cast<ExportFn>(reinterpret_cast<void*>(::GetProcAddress(module, "Quenlark_Location")));
        ASSERT_NE(location, nullptr);
        for (int call = 0; call < round; ++call) (void)location(nullptr);
        EXPECT_TRUE(::FreeLibrary(module));
        EXPECT_EQ(::GetModuleHandleA("Quenlark.dll"), nullptr);
    }
}

}  // namespace
