#include "http/support/HttpCase.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace quenlark::testing_support {

namespace {

// The sections in the order a file holds them; only [sent] may come more than once.
constexpr std::string_view kSections[] = {"[options]", "[call]", "[sent]", "[expect]", "[then]", "[reply]"};
constexpr std::size_t kSent = 2;
constexpr std::size_t kReply = 5;
constexpr std::size_t kNone = std::size(kSections);

std::size_t SectionOf(std::string_view line) {
    for (std::size_t i = 0; i < std::size(kSections); ++i) {
        if (line == kSections[i]) return i;
    }
    return kNone;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The reply as it goes out: the lines up to the first empty one with CR LF, the rest as stored.
std::string WithCrLfHeaderLines(std::string_view stored) {
    const std::size_t blank = stored.find("\n\n");
    const std::string_view head = blank == std::string_view::npos ? stored : stored.substr(0, blank + 2);
    std::string out;
    for (char c : head) {
        if (c == '\r') continue;
        if (c == '\n') out.push_back('\r');
        out.push_back(c);
    }
    if (blank != std::string_view::npos) out.append(stored.substr(blank + 2));
    return out;
}

// A value with its escapes (\r \n \t \\ \xHH) resolved; false when one is malformed.
bool Unescape(std::string_view value, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            out.push_back(value[i]);
            continue;
        }
        if (++i == value.size()) return false;
        const std::size_t simple = std::string_view("rnt\\").find(value[i]);
        if (simple != std::string_view::npos) {
            out.push_back("\r\n\t\\"[simple]);
            continue;
        }
        const int high = i + 2 < value.size() ? HexDigit(value[i + 1]) : -1;
        const int low = i + 2 < value.size() ? HexDigit(value[i + 2]) : -1;
        if (value[i] != 'x' || high < 0 || low < 0) return false;
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return true;
}

// One "name: value" line of [call] or [expect] into `into`; false when it is none.
bool AddNamedValue(std::string_view line, NamedValues& into) {
    const std::size_t colon = line.find(": ");
    if (colon == 0 || colon == std::string_view::npos) return false;
    std::string value;
    if (!Unescape(line.substr(colon + 2), value)) return false;
    into.emplace_back(std::string(line.substr(0, colon)), std::move(value));
    return true;
}

// One line of a section other than [reply]; false when the section cannot hold it.
bool AddLine(HttpCase& result, std::size_t section, std::string_view line) {
    switch (section) {
        case 0:
            if (!result.options.empty()) return false;  // one line
            result.options = std::string(line);
            return true;
        case 1:
            return AddNamedValue(line, result.call);
        case kSent:
            if (result.sent.back().line.empty()) {
                result.sent.back().line = std::string(line);
            } else {
                result.sent.back().headers.append(line).append("\r\n");
            }
            return true;
        case 3:
            return AddNamedValue(line, result.expect);
        case 4:
            result.then.emplace_back(line);
            return true;
        default:
            return false;  // text before the first section
    }
}

HttpCase ParseHttpCase(std::string_view text) {
    HttpCase result;
    std::size_t section = kNone;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::size_t next = SectionOf(line);
        if (next != kNone) {
            if (section != kNone && (next < section || (next == section && next != kSent))) {
                result.error = "section out of order: " + std::string(line);
                return result;
            }
            section = next;
            if (section == kSent) result.sent.emplace_back();
            if (section == kReply) {
                result.reply = WithCrLfHeaderLines(text.substr(std::min(at, text.size())));
                return result;
            }
            continue;
        }
        if (line.empty() || line.front() == '#') continue;
        if (!AddLine(result, section, line)) {
            result.error = "line not understood: " + std::string(line);
            return result;
        }
    }
    result.error = "no [reply]";
    return result;
}

}  // namespace

HttpCase ReadHttpCase(std::string_view name) {
    std::ifstream file(std::string(QUENLARK_HTTP_TEST_DATA) + "/" + std::string(name), std::ios::binary);
    if (!file) {
        HttpCase missing;
        missing.error = "cannot read " + std::string(name);
        return missing;
    }
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    return ParseHttpCase(text);
}

std::vector<std::string> HttpCaseNames() {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(QUENLARK_HTTP_TEST_DATA, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 5 && name.ends_with(".http")) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace quenlark::testing_support
