#include "resolve/ShareLinkResolver.h"

#include "http/WebRequest.h"
#include "resolve/ServiceConstants.h"
#include "runtime/Events.h"
#include "runtime/Formatting.h"
#include "runtime/TextCommands.h"
#include "runtime/Values.h"
#include "script/JsonObject.h"
#include "script/RegexObject.h"
#include "text/NameValueList.h"
#include "text/TextHelpers.h"

namespace quenlark {

const char kRegexFailedMessage[] = "正则创建失败，请检查正则表达式语句是否有误！";
const char kSignFailedMessage[] = "获取签名失败,可能是网络问题,请重试,如果多次都出现此问题,说明软件需要更新了。";
const char kJsonFailedMessage[] = "解析json出现问题。请重试！";

namespace {

// The download frame's src attribute.
const char kFramePattern[] = "name=\".*\" src=\"(.*)\" frameborder=";
// Shorter frame sources and signatures are not real ones.
constexpr std::int32_t kMinimumValueLength = 10;
constexpr std::int32_t kPauseMs = 5;
constexpr std::int32_t kMbIconStop = 16;
constexpr std::int32_t kMbOk = 0;

void ShowMessage(const char* text, std::int32_t flags) {
    ShowMessageBox(TypedArg::TextArg(text), TypedArg::Int(flags));
}

// A body taken as text (to its first NUL) and read as UTF-8.
OwnedText PageText(const OwnedByteSet& body) {
    const OwnedText raw = ToText(TypedArg::ByteSetArg(body.get()));
    return Utf8ToAnsi(raw.get());
}

OwnedText Between(const char* text, const char* left, const char* right) {
    return TextBetween(text, left, right, std::nullopt, true);
}

bool HoldsMoreThanSpaces(const char* text) { return !RemoveAllSpaces(text).empty(); }

}  // namespace

OwnedText ResolveShareLink(const char* serviceBaseUrl, const char* shareUrl) noexcept {
    NameValueList headers;
    RegexObject regex;  // initialises COM on this thread for the whole run
    JsonObject json;
    headers.Add("User-Agent", kDefaultUserAgent);
    OwnedText headerText = headers.ToHeaderText();

    // The share page.
    OwnedByteSet sharePage;
    (void)WebRequest({.url = shareUrl, .method = 0, .requestHeaders = headerText.get(), .noRedirect = true,
                      .responseBytes = &sharePage});
    const OwnedText page1 = PageText(sharePage);

    // The download frame: the first src, or the second when the first is too short to be it.
    if (!regex.Create(kFramePattern, page1.get(), {.caseSensitive = false, .multiline = false, .global = true})) {
        ShowMessage(kRegexFailedMessage, kMbIconStop);
    }
    OwnedText frameSrc = regex.SubMatchText(1, 1);
    frameSrc = TextByteLength(frameSrc.get()) < kMinimumValueLength ? regex.SubMatchText(2, 1) : regex.SubMatchText(1, 1);
    const OwnedText frameUrl = ConcatTexts({serviceBaseUrl, frameSrc.get()});

    // The frame page, fetched with itself as the referrer.
    headers.Add("Referer", frameUrl.get());
    headerText = headers.ToHeaderText();
    DelayWithEvents(kPauseMs);
    OwnedByteSet framePage;
    (void)WebRequest({.url = frameUrl.get(), .method = 0, .requestHeaders = headerText.get(), .responseBytes = &framePage});
    DelayWithEvents(kPauseMs);
    const OwnedText page2 = PageText(framePage);

    // The signing values, by the first marker pair that gives a long enough one.
    OwnedText signs;
    OwnedText sign = Between(page2.get(), "var pdownload = '", "';");
    if (TextByteLength(sign.get()) < kMinimumValueLength) {
        sign = Between(page2.get(), "var ajaxdata = '", "';");
        if (TextByteLength(sign.get()) < kMinimumValueLength) {
            if (HoldsMoreThanSpaces(sign.get())) signs = OwnedText::CopyOf(sign.view());
            sign = Between(page2.get(), "ajaxdata,'sign':'", "','ves'");
            if (TextByteLength(sign.get()) < kMinimumValueLength) {
                ShowMessage(kSignFailedMessage, kMbOk);
                return OwnedText::StaticEmpty();
            }
        }
    }
    const OwnedText websignLeft = ConcatTexts({sign.get(), "','ves':1,'websign':'"});
    const OwnedText websign = Between(page2.get(), websignLeft.get(), "' },");

    // The download-process request; the values go in as they were scraped.
    const OwnedText postBody =
        HoldsMoreThanSpaces(signs.get())
            ? ConcatTexts({"action=downprocess&signs=", signs.get(), "&&sign=", sign.get(), "&ves=1&websign=", websign.get()})
            : ConcatTexts({"action=downprocess&sign=", sign.get(), "&ves=1"});
    const OwnedText endpoint = ConcatTexts({serviceBaseUrl, "/ajaxm.php"});
    OwnedByteSet answer;
    (void)WebRequest({.url = endpoint.get(), .method = 1, .postText = postBody.get(), .requestHeaders = headerText.get(),
                      .responseBytes = &answer});

    const OwnedText jsonText = ToText(TypedArg::ByteSetArg(answer.get()));
    if (!json.Parse(jsonText.get())) {
        ShowMessage(kJsonFailedMessage, kMbOk);
        // Nothing came back to build a link from: "/file/" alone would pass for a result.
        return OwnedText::StaticEmpty();
    }
    const OwnedText dom = json.GetText("dom");
    const OwnedText path = json.GetText("url");
    return ConcatTexts({dom.get(), "/file/", path.get()});
}

OwnedText ShareLinkResolver(const char* shareUrl) noexcept { return ResolveShareLink(ServiceBaseUrl, shareUrl); }

}  // namespace quenlark
