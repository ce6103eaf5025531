#include "resolve/ShareLinkResolver.h"

#include <optional>
#include <string_view>
#include <utility>

#include "http/WebRequest.h"
#include "platform/Platform.h"
#include "resolve/FrameSearch.h"
#include "resolve/ServiceConstants.h"
#include "resolve/ShareAnswers.h"
#include "runtime/Events.h"
#include "runtime/Texts.h"
#include "runtime/Trace.h"
#include "script/JsonObject.h"
#include "script/RegexObject.h"
#include "text/NameValueList.h"
#include "text/TextBuilder.h"

namespace quenlark {

const char kRegexFailedMessage[] = "正则创建失败，请检查正则表达式语句是否有误！";
const char kSignFailedMessage[] = "获取签名失败,可能是网络问题,请重试,如果多次都出现此问题,说明软件需要更新了。";
const char kJsonFailedMessage[] = "解析json出现问题。请重试！";

namespace {

// The download frame's src attribute.
const char kFramePattern[] = "name=\".*\" src=\"(.*)\" frameborder=";
// Whether the engine's `.` stops at a carriage return: this has a match only when it does not.
const char kCarriageReturnProbe[] = "name=\"\" src=\"\r\" frameborder=";
// Matches up to this length go through the engine itself, where its backtracking is cheap;
// longer ones are taken as the line scan found them (the same text, by the same rules).
constexpr std::size_t kEngineMatchLimit = 1024;
// Shorter frame sources are not real ones.
constexpr std::size_t kMinimumValueLength = 10;
constexpr std::int32_t kPauseMs = 5;
constexpr RegexOptions kFrameOptions{.caseSensitive = false, .multiline = false, .global = true};

// The caption of every box the resolver shows.
const char kBoxCaption[] = "信息";

// A failure the user is told of, in a box without owner; the trace has it too.
void ShowFailureBox(const char* text, unsigned flags) {
    trace::Line("failure", "message box \"%s\"", text);
    (void)platform::ShowMessage(nullptr, text, kBoxCaption, flags);
}

// The group of one line's match. `regex` holds the frame pattern already: its engine runs
// again over the match alone.
OwnedText FrameSourceOf(RegexObject& regex, const FrameLines::Hit& hit) {
    const std::string_view match = hit.line.substr(hit.match.begin, hit.match.end - hit.match.begin);
    if (match.size() <= kEngineMatchLimit) {
        const OwnedText subject = OwnedText::CopyOf(match);
        if (!regex.Execute(subject.Get())) return {};
        return regex.SubMatchText(1, 1);
    }
    return OwnedText::CopyOf(hit.line.substr(hit.match.sourceBegin, hit.match.sourceEnd - hit.match.sourceBegin));
}

void PassOver(const OwnedText& source) {
    trace::Line("resolve", "frame source \"%.200s\" passed over: no path on the service's origin", source.c_str());
}

// The request headers and limits of one exchange.
struct Exchange {
    const char* headers = nullptr;
    WebRequestLimits limits;
};

// The share page's bytes.
OwnedByteSet SharePageBody(const char* shareUrl, const Exchange& exchange) {
    OwnedByteSet body;
    (void)WebRequest({.url = shareUrl,
                      .method = kMethodGet,
                      .requestHeaders = exchange.headers,
                      .noRedirect = true,
                      .responseBytes = &body,
                      .limits = exchange.limits,
                      .decodeText = false});
    return body;
}

// The download frame in the share page: the frame's address on the service.
OwnedText FrameUrlOfSharePage(RegexObject& regex, const char* serviceOrigin, OwnedByteSet body) {
    const OwnedText page = PageTextOfBody(std::move(body));
    OwnedText frameSrc;
    if (MakeFrameEngine(regex)) {
        frameSrc = FrameSourceOfPage(regex, page.Get());
    } else {
        ShowFailureBox(kRegexFailedMessage, platform::kMessageBoxIconError);  // no engine, no matches
    }
    if (frameSrc.empty()) {
        trace::Line("failure", "no download frame on the share page (%d bytes of text)",
                    static_cast<int>(page.length()));
    } else {
        trace::Line("resolve", "download frame \"%s\"", frameSrc.c_str());
    }
    return JoinedText({TextView(serviceOrigin), frameSrc.view()});
}

// The frame page and the form its signing values make; null when it holds no sign, which the
// user is told. The page is read in the pause after the request: idle time for the thread.
OwnedText FormOfFramePage(const char* frameUrl, const Exchange& exchange) {
    OwnedByteSet body;
    (void)WebRequest({.url = frameUrl,
                      .method = kMethodGet,
                      .requestHeaders = exchange.headers,
                      .responseBytes = &body,
                      .limits = exchange.limits,
                      .decodeText = false});
    OwnedText page;
    SignValues values;  // views of the page
    DelayWithEvents(kPauseMs, [&] {
        page = PageTextOfBody(std::move(body));
        values = ReadSignValues(page.Get());
    });
    if (!values.found) {
        ShowFailureBox(kSignFailedMessage, platform::kMessageBoxOk);
        return {};
    }
    return FormBody(values);
}

// The download-process request, and the link its JSON answer names; the empty text when the
// answer names none, which the user is told.
OwnedText LinkOfDownloadAnswer(JsonObject& json, const char* serviceOrigin, const char* postBody,
                               const Exchange& exchange) {
    const OwnedText endpoint = JoinedText({TextView(serviceOrigin), "/ajaxm.php"});
    OwnedByteSet answer;
    (void)WebRequest({.url = endpoint.Get(),
                      .method = kMethodPost,
                      .postText = postBody,
                      .requestHeaders = exchange.headers,
                      .responseBytes = &answer,
                      .limits = exchange.limits,
                      .decodeText = false});
    const OwnedText jsonText = AnswerTextOfBody(answer);
    answer.Reset();
    const bool parsed = json.Parse(jsonText.Get());
    const OwnedText dom = parsed ? json.GetText("dom") : OwnedText();
    const OwnedText path = parsed ? json.GetText("url") : OwnedText();
    if (!parsed) {
        trace::Line("failure", "the answer is no JSON object the engine takes: \"%.200s\"", jsonText.c_str());
    } else {
        trace::Line("resolve", "answer: dom \"%s\", url \"%s\"", dom.c_str(), path.c_str());
        if (dom.empty()) trace::Line("failure", "the answer names no download host: \"%.200s\"", jsonText.c_str());
    }
    OwnedText link = LinkOfAnswer(parsed, dom.Get(), path.Get());
    if (link.empty()) ShowFailureBox(kJsonFailedMessage, platform::kMessageBoxOk);
    return link;
}

}  // namespace

bool MakeFrameEngine(RegexObject& regex) noexcept {
    return regex.Create(kFramePattern, kCarriageReturnProbe, kFrameOptions);
}

// The page is scanned line by line (a match never spans lines) and only the text of a match is
// handed to the engine, so no page makes it backtrack for long.
OwnedText FrameSourceOfPage(RegexObject& regex, const char* page) noexcept {
    FrameLines lines(page ? std::string_view(page) : std::string_view(), {.carriageReturn = regex.MatchCount() == 0});
    std::optional<FrameLines::Hit> hit = lines.Next();
    if (!hit) return {};
    OwnedText source = FrameSourceOf(regex, *hit);
    const bool onOrigin = IsServicePath(source.view());
    if (onOrigin && source.length() >= kMinimumValueLength) return source;
    if (!onOrigin) PassOver(source);
    hit = lines.Next();
    if (!hit) return {};
    source = FrameSourceOf(regex, *hit);
    if (IsServicePath(source.view())) return source;
    PassOver(source);
    return {};
}

OwnedText ResolveShareLink(const char* shareUrl, const ResolverOptions& options) noexcept {
    NameValueList headers;
    RegexObject regex;               // initialises COM on this thread for the whole run
    std::optional<JsonObject> json;  // made in the pause before the frame page
    headers.Add("User-Agent", kDefaultUserAgent);
    OwnedText headerText = headers.ToHeaderText();
    const Exchange share{.headers = headerText.Get(),
                         .limits = {.maxBodyBytes = options.maxBodyBytes, .maxTotalMs = options.maxExchangeMs}};
    OwnedByteSet sharePage = SharePageBody(shareUrl, share);
    // The pause before the frame page is idle time for the thread: the share page is read and
    // the answer's JSON object made in it, work that is due by its end anyway.
    OwnedText frameUrl;
    DelayWithEvents(kPauseMs, [&] {
        frameUrl = FrameUrlOfSharePage(regex, options.serviceOrigin, std::move(sharePage));
        json.emplace();
    });

    // The frame page is fetched with itself as the referrer, and so is the answer.
    headers.Add("Referer", frameUrl.Get());
    headerText = headers.ToHeaderText();
    const OwnedText postBody = FormOfFramePage(frameUrl.Get(), {.headers = headerText.Get(), .limits = share.limits});
    if (postBody.empty()) return OwnedText::StaticEmpty();
    const Exchange answer{.headers = headerText.Get(),
                          .limits = {.maxBodyBytes = options.maxAnswerBytes, .maxTotalMs = options.maxExchangeMs}};
    return LinkOfDownloadAnswer(*json, options.serviceOrigin, postBody.Get(), answer);
}

}  // namespace quenlark
