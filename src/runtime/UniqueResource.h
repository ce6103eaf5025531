// The one owner of every resource held by a single pointer or handle: runtime blocks, WinHTTP
// handles, BSTRs, SAFEARRAYs, the automation and variant records. Move-only; leaving a scope
// frees what it holds, so no procedure frees by hand. `Free` is called once for every non-null
// value the owner gives up (Reset, destruction, a move onto it), never for null.
#pragma once

#include <utility>

namespace quenlark {

template <typename T, auto Free>
class UniqueResource {
public:
    UniqueResource() noexcept = default;
    [[nodiscard]] static UniqueResource Adopt(T value) noexcept { return UniqueResource(value); }
    UniqueResource(UniqueResource&& other) noexcept : p_(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { Reset(); }

    [[nodiscard]] T get() const noexcept { return p_; }
    // The slot itself, for a callee that writes it (and, by the COM rule for a by-reference
    // BSTR, frees what it replaces).
    [[nodiscard]] T* Address() noexcept { return &p_; }
    [[nodiscard]] T Release() noexcept { return std::exchange(p_, T{}); }
    void Reset(T value = T{}) noexcept {
        if (T old = std::exchange(p_, value); old != T{}) Free(old);
    }
    explicit operator bool() const noexcept { return p_ != T{}; }

protected:
    explicit UniqueResource(T value) noexcept : p_(value) {}
    T p_{};
};

}  // namespace quenlark
