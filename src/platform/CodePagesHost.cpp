// Code page conversions of the platform seam on the development machine, through iconv. The
// system ANSI code page (0) is taken as 1252 here, as it is under the wine used for the tests,
// so that code which wrongly relies on it being 936 fails natively too.
#include <errno.h>
#include <iconv.h>

#include <cstring>
#include <string>

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

// Converts everything, replacing what cannot be converted, and returns the size of the whole
// output: kUnknownCodePage for an unknown code page. With a destination the output is written
// there as far as it fits; without one it is only counted, so a size query holds no copy.
std::size_t Convert(const char* from, const char* to, const char* input, std::size_t inputBytes, std::size_t unitBytes,
                    const char* replacement, std::size_t replacementBytes, char* destination, std::size_t capacity) {
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return kUnknownCodePage;
    char* in = const_cast<char*>(input);
    std::size_t inLeft = inputBytes;
    std::size_t total = 0;
    char scratch[65536];
    bool full = destination == nullptr;  // once the destination is full, only count
    while (inLeft > 0) {
        const bool direct = !full && total < capacity;
        char* out = direct ? destination + total : scratch;
        const std::size_t available = direct ? capacity - total : sizeof scratch;
        std::size_t outLeft = available;
        // The input goes in pieces: a sanitizer checks all of it on every call.
        const std::size_t piece = inLeft < kInputPiece ? inLeft : kInputPiece;
        std::size_t pieceLeft = piece;
        const std::size_t r = ::iconv(cd, &in, &pieceLeft, &out, &outLeft);
        const int error = errno;
        inLeft -= piece - pieceLeft;
        total += available - outLeft;
        if (r != static_cast<std::size_t>(-1)) continue;
        if (error == E2BIG) {
            if (direct) full = true;
            continue;
        }
        if (error == EINVAL && inLeft > pieceLeft) continue;  // a character cut by the piece's end
        // An undecodable or unencodable unit: replace it and go on after it.
        if (!full && total + replacementBytes <= capacity)
            std::memcpy(destination + total, replacement, replacementBytes);
        total += replacementBytes;
        const std::size_t skip = inLeft < unitBytes ? inLeft : unitBytes;
        in += skip;
        inLeft -= skip;
    }
    ::iconv_close(cd);
    return total;
}

}  // namespace

std::size_t DecodeToUtf16(std::uint32_t codePage, const char* source, std::size_t sourceBytes, char16_t* destination,
                          std::size_t destinationUnits) noexcept {
    if (sourceBytes == 0) return 0;
    static const char kReplacement[] = "\xFD\xFF";  // U+FFFD, little-endian
    std::size_t bytes;
    try {
        bytes = Convert(IconvName(codePage).c_str(), "UTF-16LE", source, sourceBytes, 1, kReplacement, 2,
                        reinterpret_cast<char*>(destination), destination ? destinationUnits * 2 : 0);
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
        bytes = Convert("UTF-16LE", IconvName(codePage).c_str(), reinterpret_cast<const char*>(source), sourceUnits * 2,
                        2, "?", 1, destination, destination ? destinationBytes : 0);
    } catch (...) {
        return 0;
    }
    if (bytes == kUnknownCodePage) return 0;
    if (destination && bytes > destinationBytes) return 0;
    return bytes;
}

}  // namespace quenlark::platform
