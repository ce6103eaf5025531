#include "http/support/ScriptedServer.h"

#include <sstream>

#include "http/support/HttpCase.h"

namespace quenlark::testing_support {

namespace {

constexpr long kStartTimeoutS = 30;

std::string Hex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

std::string Unhex(std::string_view hex) {
    std::string out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return out;
}

}  // namespace

ScriptedServer::ScriptedServer() {
    error_ = control_.Launch(std::string(QUENLARK_PYTHON) + " " + QUENLARK_SCRIPTED_SERVER, kStartTimeoutS);
    if (!error_.empty()) return;
    const std::string ready = control_.ReadLine();
    std::istringstream words(ready);
    std::string word;
    words >> word;
    if (word != "READY") {
        error_ = "unexpected greeting: " + ready;
        control_.Close();
        return;
    }
    while (words >> word) {
        const auto equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const int port = std::stoi(word.substr(equals + 1));
        if (name == "http") http_ = port;
        if (name == "https") https_ = port;
        if (name == "https-wronghost") wrongHost_ = port;
        if (name == "https-expired") expired_ = port;
        if (name == "relay") relay_ = port;
    }
}

ScriptedServer::~ScriptedServer() {
    if (Ready()) (void)control_.Command("QUIT");
}

std::string ScriptedServer::HttpUrl(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(http_) + std::string(path);
}

std::string ScriptedServer::HttpsUrl(std::string_view path) const {
    return "https://127.0.0.1:" + std::to_string(https_) + std::string(path);
}

std::string ScriptedServer::RelayUrl(std::string_view path) const {
    return "https://127.0.0.1:" + std::to_string(relay_) + std::string(path);
}

std::string ScriptedServer::Command(const std::string& line) { return control_.Command(line); }

bool ScriptedServer::Script(std::string_view rawResponse, std::string_view options) {
    return Command("SCRIPT " + Hex(rawResponse) + " " + std::string(options)) == "OK";
}

bool ScriptedServer::ScriptFile(std::string_view name, std::string_view options) {
    const HttpCase data = ReadHttpCase(name);
    return data.error.empty() && Script(data.reply, data.options + " " + std::string(options));
}

bool ScriptedServer::Generate(int status, std::uint64_t size, std::string_view options) {
    return Command("GENERATE " + std::to_string(status) + " " + std::to_string(size) + " " + std::string(options)) ==
           "OK";
}

std::vector<std::string> ScriptedServer::Requests() {
    std::vector<std::string> requests;
    const std::string header = Command("REQUESTS");
    if (header.rfind("REQUESTS ", 0) != 0) return requests;
    const int count = std::stoi(header.substr(9));
    for (int i = 0; i < count; ++i) requests.push_back(Unhex(control_.ReadLine()));
    return requests;
}

std::vector<std::uint64_t> ScriptedServer::SentBytes() {
    std::vector<std::uint64_t> counts;
    std::istringstream words(Command("SENT"));
    std::string word;
    std::size_t count = 0;
    if (!(words >> word >> count) || word != "SENT") return counts;
    std::uint64_t bytes = 0;
    while (counts.size() < count && words >> bytes) counts.push_back(bytes);
    return counts;
}

int ScriptedServer::Active() {
    const std::string reply = Command("ACTIVE");
    return reply.rfind("ACTIVE ", 0) == 0 ? std::stoi(reply.substr(7)) : -1;
}

bool ScriptedServer::SlowRelay(int ms, int after) {
    return Command("RELAY " + std::to_string(ms) + " after=" + std::to_string(after)) == "OK";
}

void ScriptedServer::Reset() { Command("RESET"); }

std::string RequestLine(const std::string& rawRequest) { return rawRequest.substr(0, rawRequest.find("\r\n")); }

std::string RequestHeaders(const std::string& rawRequest) {
    const auto first = rawRequest.find("\r\n");
    const auto blank = rawRequest.find("\r\n\r\n");
    if (first == std::string::npos || blank == std::string::npos || blank <= first) return {};
    return rawRequest.substr(first + 2, blank - first - 2);
}

std::string RequestBody(const std::string& rawRequest) {
    const auto blank = rawRequest.find("\r\n\r\n");
    return blank == std::string::npos ? std::string() : rawRequest.substr(blank + 4);
}

}  // namespace quenlark::testing_support
