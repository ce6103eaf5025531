// Owns one handle; closing keeps GetLastError, so a failure being reported is not overwritten
// by the clean-up.
#pragma once

#include <windows.h>

#include <utility>

namespace quenlark {

template <typename H, auto Close>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(H h) noexcept : h_(h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    [[nodiscard]] H get() const noexcept { return h_; }
    [[nodiscard]] H release() noexcept { return std::exchange(h_, H{}); }
    void reset(H h = H{}) noexcept {
        if (h_) {
            const DWORD saved = ::GetLastError();
            Close(h_);
            ::SetLastError(saved);
        }
        h_ = h;
    }
    explicit operator bool() const noexcept { return h_ != H{}; }

private:
    H h_{};
};

}  // namespace quenlark
