// Reading the stand-in's records: which pages a call asked for, what it posted, what the site
// answered.
#pragma once

#include <string>
#include <vector>

#include "e2e/support/Standin.h"

namespace quenlark::testing_support {

// "METHOD path" of each request in order; queries are cut off (frame tokens are random).
std::vector<std::string> Route(const std::vector<StandinRecord>& records);

// The record of the form posted to /ajaxm.php, or null.
const StandinRecord* PostedForm(const std::vector<StandinRecord>& records);

// The url field of the site's JSON answer with its "\/" unescaped (other escapes kept); "" when
// no answer carried one.
std::string AnsweredPath(const std::vector<StandinRecord>& records);

}  // namespace quenlark::testing_support
