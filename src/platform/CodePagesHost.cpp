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

// Converts everything, replacing what cannot be converted; false for an unknown code page.
bool Convert(const char* from, const char* to, const char* input, std::size_t inputBytes, std::size_t unitBytes,
             const char* replacement, std::size_t replacementBytes, std::string& output) {
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    char* in = const_cast<char*>(input);
    std::size_t inLeft = inputBytes;
    char buffer[4096];
    while (inLeft > 0) {
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t r = ::iconv(cd, &in, &inLeft, &out, &outLeft);
        output.append(buffer, sizeof buffer - outLeft);
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // An undecodable or unencodable unit: replace it and go on after it.
            output.append(replacement, replacementBytes);
            const std::size_t skip = inLeft < unitBytes ? inLeft : unitBytes;
            in += skip;
            inLeft -= skip;
        }
    }
    ::iconv_close(cd);
    return true;
}

}  // namespace

std::size_t MultiByteToUtf16(std::uint32_t codePage, const char* source, std::size_t sourceBytes, char16_t* destination,
                             std::size_t destinationUnits) noexcept {
    if (sourceBytes == 0) return 0;
    std::string units;
    static const char kReplacement[] = "\xFD\xFF";  // U+FFFD, little-endian
    try {
        if (!Convert(IconvName(codePage).c_str(), "UTF-16LE", source, sourceBytes, 1, kReplacement, 2, units)) return 0;
    } catch (...) {
        return 0;
    }
    const std::size_t count = units.size() / 2;
    if (!destination) return count;
    if (count > destinationUnits) return 0;
    std::memcpy(destination, units.data(), count * 2);
    return count;
}

std::size_t Utf16ToMultiByte(std::uint32_t codePage, const char16_t* source, std::size_t sourceUnits, char* destination,
                             std::size_t destinationBytes) noexcept {
    if (sourceUnits == 0) return 0;
    std::string bytes;
    try {
        if (!Convert("UTF-16LE", IconvName(codePage).c_str(), reinterpret_cast<const char*>(source), sourceUnits * 2, 2,
                     "?", 1, bytes)) {
            return 0;
        }
    } catch (...) {
        return 0;
    }
    if (!destination) return bytes.size();
    if (bytes.size() > destinationBytes) return 0;
    std::memcpy(destination, bytes.data(), bytes.size());
    return bytes.size();
}

}  // namespace quenlark::platform
