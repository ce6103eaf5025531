// The one owner family. Every resource that code holds is held by one of these, so leaving a
// scope frees it and no procedure frees by hand:
//   UniqueResource<T, Free>       a resource held by one pointer or handle: runtime blocks,
//                                 system and WinHTTP handles, BSTRs, SAFEARRAYs, records.
//                                 `Free` runs once for every non-null value the owner gives up
//                                 (Reset, destruction, a move onto it), never for null.
//   UniqueStruct<T, Init, Clear>  a record held by value that owns what its fields point at
//                                 (VARIANT, EXCEPINFO): Init when made and after its contents
//                                 are given up, Clear before they are replaced or it ends.
// Both are move-only and name their members alike:
//   Get()      what is held, still owned (for a record: its address)
//   Address()  the slot as it is, for a callee that writes it and frees what it replaces
//              itself (a by-reference BSTR under the COM rule)
//   Put()      the slot emptied first, for an out-parameter
//   Release()  hands what is held over; the owner is left empty
//   Reset(v)   frees what is held and takes v (nothing: stays empty)
// Portable and free of the library's other headers, so every layer can build on it.
#pragma once

#include <type_traits>
#include <utility>

namespace quenlark {

// `Self`, when given, is a class derived from this one that adds accessors for what it holds;
// Adopt then makes one of those.
template <typename T, auto Free, typename Self = void>
class UniqueResource {
    using Made = std::conditional_t<std::is_void_v<Self>, UniqueResource, Self>;

public:
    UniqueResource() noexcept = default;
    [[nodiscard]] static Made Adopt(T value) noexcept {
        Made owner;
        owner.p_ = value;
        return owner;
    }
    UniqueResource(UniqueResource&& other) noexcept : p_(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { Reset(); }

    [[nodiscard]] T Get() const noexcept { return p_; }
    [[nodiscard]] T* Address() noexcept { return &p_; }
    [[nodiscard]] T* Put() noexcept {
        Reset();
        return &p_;
    }
    [[nodiscard]] T Release() noexcept { return std::exchange(p_, T{}); }
    void Reset(T value = T{}) noexcept {
        if (T old = std::exchange(p_, value); old != T{}) Free(old);
    }
    explicit operator bool() const noexcept { return p_ != T{}; }

protected:
    T p_{};
};

template <typename T, auto Init, auto Clear>
class UniqueStruct {
public:
    UniqueStruct() noexcept { Init(&s_); }
    // Takes over what `contents` owns.
    [[nodiscard]] static UniqueStruct Adopt(const T& contents) noexcept {
        UniqueStruct owner;
        owner.s_ = contents;
        return owner;
    }
    UniqueStruct(UniqueStruct&& other) noexcept : s_(other.Release()) {}
    UniqueStruct& operator=(UniqueStruct&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueStruct(const UniqueStruct&) = delete;
    UniqueStruct& operator=(const UniqueStruct&) = delete;
    ~UniqueStruct() { Clear(&s_); }

    [[nodiscard]] T* Get() noexcept { return &s_; }
    [[nodiscard]] const T* Get() const noexcept { return &s_; }
    T* operator->() noexcept { return &s_; }
    const T* operator->() const noexcept { return &s_; }
    [[nodiscard]] T* Address() noexcept { return &s_; }
    [[nodiscard]] T* Put() noexcept {
        Reset();
        return &s_;
    }
    [[nodiscard]] T Release() noexcept {
        T out = s_;
        Init(&s_);
        return out;
    }
    void Reset() noexcept {
        Clear(&s_);
        Init(&s_);
    }
    void Reset(const T& contents) noexcept {
        Clear(&s_);
        s_ = contents;
    }

private:
    T s_;
};

}  // namespace quenlark
