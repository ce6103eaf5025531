// Marker extraction: whatever the bytes, a value comes from between real markers, and is the one
// that the first version, over the text commands, gave.
#include "FuzzSupport.h"
#include "text/Markers.h"

using namespace quenlark;
using namespace quenlark::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string text = TakeText(input);
    const std::string left = TakeText(input, 6);
    const std::string right = TakeText(input, 6);
    const bool ignoreCase = input.ConsumeBool();
    std::optional<std::int32_t> start;
    if (input.ConsumeBool()) start = input.ConsumeIntegralInRange<std::int32_t>(-20, 300);

    const OwnedText between = TextBetween(text.c_str(), left.c_str(), right.c_str(), start, ignoreCase);
    CheckTextBlock(between);
    FUZZ_CHECK(Same(between, first_version::TextBetween(text.c_str(), left.c_str(), right.c_str(), start, ignoreCase)));
    const bool plainMarkers = left.find('#') == std::string::npos && right.find('#') == std::string::npos;
    if (between.Get() && between.Get() != kEmptyText && plainMarkers) {
        // left + value + right stand in the text, in that order.
        const std::string value = Str(between);
        bool found = false;
        for (std::size_t at = 0; !found && at + left.size() + value.size() + right.size() <= text.size(); ++at) {
            found = MatchesAt(text, at, left, ignoreCase) && text.compare(at + left.size(), value.size(), value) == 0 &&
                    MatchesAt(text, at + left.size() + value.size(), right, ignoreCase);
        }
        FUZZ_CHECK(found);
    }

    const OwnedText before = TextBefore(text.c_str(), left.c_str(), start, ignoreCase);
    CheckTextBlock(before);
    FUZZ_CHECK(text.compare(0, before.length(), before.view()) == 0);  // always a prefix
    const OwnedText after = TextAfter(text.c_str(), left.c_str(), start, ignoreCase);
    CheckTextBlock(after);
    FUZZ_CHECK(after.length() <= text.size());
    FUZZ_CHECK(text.compare(text.size() - after.length(), after.length(), after.view()) == 0);  // always a suffix
    return 0;
}
