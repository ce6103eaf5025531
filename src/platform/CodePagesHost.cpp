// Code page conversions of the platform seam on the development machine, through iconv. The
// system ANSI code page (0) is taken as 1252 here, as it is under the wine used for the tests,
// so that code which wrongly relies on it being 936 fails natively too.
#include <errno.h>
#include <iconv.h>

#include <cstring>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace quenlark::platform {

namespace {

std::string IconvName(std::uint32_t codePage) {
    switch (codePage) {
        case 0:
            return "CP1252";
        case 65001:
            return "UTF-8";
        case 936:
            return "CP936";
        case 54936:
            return "GB18030";
        case 20866:
            return "KOI8-R";
        case 21866:
            return "KOI8-U";
        case 20932:
            return "EUC-JP";
        default:
            if (codePage >= 28591 && codePage <= 28605) return "ISO-8859-" + std::to_string(codePage - 28590);
            return "CP" + std::to_string(codePage);
    }
}

constexpr std::size_t kUnknownCodePage = static_cast<std::size_t>(-1);
constexpr std::size_t kInputPiece = 65536;

// One conversion of a whole input, replacing what cannot be converted. The output is written
// to the destination as far as it fits and only counted after that (or throughout, without a
// destination), so a size query holds no copy.
class IconvConversion {
public:
    IconvConversion(iconv_t cd, std::string_view input, char* destination, std::size_t capacity) noexcept
        : cd_(cd),
          in_(const_cast<char*>(input.data())),
          inLeft_(input.size()),
          destination_(destination),
          capacity_(destination ? capacity : 0),
          full_(destination == nullptr) {}

    // The size of the whole output. `unitBytes` is the input's unit, skipped with each one that
    // cannot be converted.
    std::size_t Run(std::size_t unitBytes, std::string_view replacement) noexcept {
        while (inLeft_ > 0) {
            if (Piece()) Replace(unitBytes, replacement);
        }
        return total_;
    }

private:
    // Converts what it can of the next piece of input; true when it stopped at a unit that cannot
    // be converted. The input goes in pieces: a sanitizer checks all of it on every call.
    bool Piece() noexcept {
        const bool direct = !full_ && total_ < capacity_;
        char* out = direct ? destination_ + total_ : scratch_;
        const std::size_t available = direct ? capacity_ - total_ : sizeof scratch_;
        std::size_t outLeft = available;
        const std::size_t piece = inLeft_ < kInputPiece ? inLeft_ : kInputPiece;
        std::size_t pieceLeft = piece;
        const std::size_t r = ::iconv(cd_, &in_, &pieceLeft, &out, &outLeft);
        const int error = errno;
        inLeft_ -= piece - pieceLeft;
        total_ += available - outLeft;
        if (r != static_cast<std::size_t>(-1)) return false;
        if (error == E2BIG) {
            if (direct) full_ = true;  // once the destination is full, only count
            return false;
        }
        return !(error == EINVAL && inLeft_ > pieceLeft);  // else a character cut by the piece's end
    }

    void Replace(std::size_t unitBytes, std::string_view replacement) noexcept {
        if (!full_ && total_ + replacement.size() <= capacity_)
            std::memcpy(destination_ + total_, replacement.data(), replacement.size());
        total_ += replacement.size();
        const std::size_t skip = inLeft_ < unitBytes ? inLeft_ : unitBytes;
        in_ += skip;
        inLeft_ -= skip;
    }

    iconv_t cd_;
    char* in_;
    std::size_t inLeft_;
    char* destination_;
    std::size_t capacity_;
    bool full_;
    std::size_t total_ = 0;
    char scratch_[65536];
};

// The size of the whole output, written as far as it fits; kUnknownCodePage for an unknown code
// page.
std::size_t Convert(const char* from, const char* to, std::string_view input, std::size_t unitBytes,
                    std::string_view replacement, char* destination, std::size_t capacity) {
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return kUnknownCodePage;
    const std::size_t total = IconvConversion(cd, input, destination, capacity).Run(unitBytes, replacement);
    ::iconv_close(cd);
    return total;
}

}  // namespace

std::size_t DecodeToUtf16(std::uint32_t codePage, const char* source, std::size_t sourceBytes, char16_t* destination,
                          std::size_t destinationUnits) noexcept {
    if (sourceBytes == 0) return 0;
    static constexpr std::string_view kReplacement("\xFD\xFF", 2);  // U+FFFD, little-endian
    std::size_t bytes;
    try {
        bytes = Convert(IconvName(codePage).c_str(), "UTF-16LE", {source, sourceBytes}, 1, kReplacement,
                        reinterpret_cast<char*>(destination), destinationUnits * 2);
    } catch (...) {
        return 0;
    }
    if (bytes == kUnknownCodePage) return 0;
    const std::size_t count = bytes / 2;
    if (destination && count > destinationUnits) return 0;
    return count;
}

std::size_t EncodeFromUtf16(std::uint32_t codePage, const char16_t* source, std::size_t sourceUnits, char* destination,
                            std::size_t destinationBytes) noexcept {
    if (sourceUnits == 0) return 0;
    std::size_t bytes;
    try {
        bytes =
            Convert("UTF-16LE", IconvName(codePage).c_str(), {reinterpret_cast<const char*>(source), sourceUnits * 2},
                    2, "?", destination, destinationBytes);
    } catch (...) {
        return 0;
    }
    if (bytes == kUnknownCodePage) return 0;
    if (destination && bytes > destinationBytes) return 0;
    return bytes;
}

}  // namespace quenlark::platform
