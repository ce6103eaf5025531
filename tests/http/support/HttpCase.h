// One whole HTTP case of tests/http/data (its format is described in that folder's README.md):
// the scripted server's reply and options, the call's parameters, the requests expected and
// the outputs expected. Only the sections are read here; what the names mean is the test's.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quenlark::testing_support {

using NamedValues = std::vector<std::pair<std::string, std::string>>;

struct HttpCase {
    std::string options;  // the server's options for the reply
    NamedValues call;     // [call], values with their escapes resolved
    NamedValues expect;   // [expect], likewise
    // One for each [sent]: the request line, and the library's own header lines, each with
    // its CR LF, as the request's header block begins.
    struct Request {
        std::string line;
        std::string headers;
    };
    std::vector<Request> sent;
    std::vector<std::string> then;  // files whose replies follow
    std::string reply;              // as it goes out: header lines with CR LF
    std::string error;              // what is wrong with the file; empty when it reads well
};

// The case in the data folder's file `name` ("landing.http").
[[nodiscard]] HttpCase ReadHttpCase(std::string_view name);

// The names of every case file in the data folder, in order.
[[nodiscard]] std::vector<std::string> HttpCaseNames();

}  // namespace quenlark::testing_support
