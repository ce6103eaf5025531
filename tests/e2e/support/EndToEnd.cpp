#include "e2e/support/EndToEnd.h"

namespace quenlark::testing_support {

namespace {

std::string Copy(const char* result) { return result ? std::string(result) : std::string(); }

}  // namespace

void LoadedDll::SetUpTestSuite() {
    dll_ = ::LoadLibraryA("Quenlark.dll");  // beside the test program
    if (!dll_) return;
    resolve_ = reinterpret_cast<ExportFn>(reinterpret_cast<void*>(::GetProcAddress(dll_, "HttpGetUrl")));
    location_ = reinterpret_cast<ExportFn>(reinterpret_cast<void*>(::GetProcAddress(dll_, "Quenlark_Location")));
    // Without a display a real MessageBoxA fails at once: every box must reach the recorder.
    boxes_ = std::make_unique<MessageBoxRecorder>(dll_);
}

void LoadedDll::TearDownTestSuite() {
    boxes_.reset();
    if (dll_) ::FreeLibrary(dll_);
    dll_ = nullptr;
}

void LoadedDll::SetUp() {
    ASSERT_NE(dll_, nullptr) << "LoadLibrary(Quenlark.dll) failed";
    ASSERT_NE(resolve_, nullptr);
    ASSERT_NE(location_, nullptr);
    ASSERT_TRUE(boxes_->Installed()) << "Quenlark.dll does not import USER32!MessageBoxA";
    (void)boxes_->Take();
}

std::string LoadedDll::Resolve(const std::string& shareUrl) { return Copy(resolve_(shareUrl.c_str())); }

std::string LoadedDll::Location(const std::string& url) { return Copy(location_(url.c_str())); }

void EndToEnd::SetUpTestSuite() {
    LoadedDll::SetUpTestSuite();
    standin_ = std::make_unique<Standin>(Port());
}

void EndToEnd::TearDownTestSuite() {
    standin_.reset();
    LoadedDll::TearDownTestSuite();
}

void EndToEnd::SetUp() {
    LoadedDll::SetUp();
    ASSERT_TRUE(standin_->Ready()) << standin_->StartError();
    standin_->Reset();
}

}  // namespace quenlark::testing_support
