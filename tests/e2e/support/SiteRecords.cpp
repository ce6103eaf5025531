#include "e2e/support/SiteRecords.h"

namespace quenlark::testing_support {

std::vector<std::string> Route(const std::vector<StandinRecord>& records) {
    std::vector<std::string> route;
    for (const StandinRecord& record : records) {
        route.push_back(record.method + " " + record.target.substr(0, record.target.find('?')));
    }
    return route;
}

const StandinRecord* PostedForm(const std::vector<StandinRecord>& records) {
    for (const StandinRecord& record : records) {
        if (record.method == "POST" && record.target == "/ajaxm.php") return &record;
    }
    return nullptr;
}

std::string AnsweredPath(const std::vector<StandinRecord>& records) {
    const StandinRecord* answer = PostedForm(records);
    if (!answer) return {};
    const std::string key = "\"url\":\"";
    const auto start = answer->responseBody.find(key);
    if (start == std::string::npos) return {};
    const auto end = answer->responseBody.find('"', start + key.size());
    std::string path = answer->responseBody.substr(start + key.size(), end - start - key.size());
    for (auto slash = path.find("\\/"); slash != std::string::npos; slash = path.find("\\/", slash + 1)) {
        path.erase(slash, 1);
    }
    return path;
}

}  // namespace quenlark::testing_support
