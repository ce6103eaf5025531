// Loads the built Quenlark.dll the way a host does and calls its exports.
#include <windows.h>

#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <thread>

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

// The apartment a thread is in, told by what a new initialisation answers: S_FALSE in the
// same apartment, RPC_E_CHANGED_MODE in the other one, S_OK when it was in none (then undone).
enum class Apartment { None, Single, Multi };
Apartment ApartmentOfThisThread() {
    const HRESULT multi = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (multi == RPC_E_CHANGED_MODE) return Apartment::Single;
    ::CoUninitialize();
    return multi == S_FALSE ? Apartment::Multi : Apartment::None;
}

Apartment EnterApartment(Apartment apartment) {
    if (apartment == Apartment::Multi) (void)::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (apartment == Apartment::Single) (void)::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    return apartment;
}

// Loading initialises COM on the loading thread and unloading undoes only that: a host thread
// keeps the apartment it had, including one in the multithreaded apartment (where the load's
// initialisation is refused) and one that frees a library another thread loaded.
TEST(LibraryLifetime, AHostThreadKeepsItsApartmentAcrossLoadAndUnload) {
    for (const Apartment before : {Apartment::Multi, Apartment::Single, Apartment::None}) {
        Apartment after = Apartment::None;
        std::thread([&] {
            EnterApartment(before);
            HMODULE module = ::LoadLibraryA("Quenlark.dll");
            if (module) ::FreeLibrary(module);
            after = ApartmentOfThisThread();
            if (before != Apartment::None) ::CoUninitialize();
        }).join();
        EXPECT_EQ(after, before) << "apartment " << static_cast<int>(before);
    }

    // Loaded on one thread, freed on another one that is in the multithreaded apartment.
    HMODULE module = nullptr;
    std::thread([&] { module = ::LoadLibraryA("Quenlark.dll"); }).join();
    ASSERT_NE(module, nullptr);
    Apartment after = Apartment::None;
    std::thread([&] {
        EnterApartment(Apartment::Multi);
        ::FreeLibrary(module);
        after = ApartmentOfThisThread();
        ::CoUninitialize();
    }).join();
    EXPECT_EQ(after, Apartment::Multi);
}

}  // namespace
