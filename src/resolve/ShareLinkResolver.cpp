#include "resolve/ShareLinkResolver.h"

#include <optional>
#include <string_view>

#include "http/WebRequest.h"
#include "platform/Platform.h"
#include "resolve/FrameSearch.h"
#include "resolve/ServiceConstants.h"
#include "resolve/ShareAnswers.h"
#include "runtime/Events.h"
#include "runtime/MessageBox.h"
#include "runtime/TextCommands.h"
#include "runtime/Trace.h"
#include "runtime/Values.h"
#include "script/JsonObject.h"
#include "script/RegexObject.h"
#include "text/NameValueList.h"
#include "text/ByteLength.h"

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
constexpr std::int32_t kMinimumValueLength = 10;
constexpr std::int32_t kPauseMs = 5;
constexpr RegexOptions kFrameOptions{.caseSensitive = false, .multiline = false, .global = true};

void ShowMessage(const char* text, unsigned flags) {
    trace::Line("failure", "message box \"%s\"", text);
    ShowMessageBox(TypedArg::TextArg(text), TypedArg::Int(static_cast<std::int32_t>(flags)));
}

// The group of one line's match.
OwnedText FrameSourceOf(RegexObject& regex, const FrameLines::Hit& hit) {
    const std::string_view match = hit.line.substr(hit.match.begin, hit.match.end - hit.match.begin);
    if (match.size() <= kEngineMatchLimit) {
        const OwnedText subject = OwnedText::CopyOf(match);
        if (!regex.Create(kFramePattern, subject.get(), kFrameOptions)) return {};
        return regex.SubMatchText(1, 1);
    }
    return OwnedText::CopyOf(hit.line.substr(hit.match.sourceBegin, hit.match.sourceEnd - hit.match.sourceBegin));
}

void PassOver(const OwnedText& source) {
    trace::Line("resolve", "frame source \"%.200s\" passed over: no path on the service's origin", source.c_str());
}

}  // namespace

// The page is scanned line by line (a match never spans lines) and only the text of a match is
// handed to the engine, so no page makes it backtrack for long.
OwnedText FrameSourceOfPage(RegexObject& regex, const char* page) noexcept {
    if (!regex.Create(kFramePattern, kCarriageReturnProbe, kFrameOptions)) {
        ShowMessage(kRegexFailedMessage, platform::kMessageBoxIconError);
        return {};  // no engine, no matches
    }
    FrameLines lines(page ? std::string_view(page) : std::string_view(), {.carriageReturn = regex.MatchCount() == 0});
    std::optional<FrameLines::Hit> hit = lines.Next();
    if (!hit) return {};
    OwnedText source = FrameSourceOf(regex, *hit);
    const bool onOrigin = IsServicePath(source.view());
    if (onOrigin && TextByteLength(source.get()) >= kMinimumValueLength) return source;
    if (!onOrigin) PassOver(source);
    hit = lines.Next();
    if (!hit) return {};
    source = FrameSourceOf(regex, *hit);
    if (IsServicePath(source.view())) return source;
    PassOver(source);
    return {};
}

OwnedText ResolveShareLink(const char* serviceBaseUrl, const char* shareUrl, const ResolverLimits& limits) noexcept {
    NameValueList headers;
    RegexObject regex;  // initialises COM on this thread for the whole run
    JsonObject json;
    headers.Add("User-Agent", kDefaultUserAgent);
    OwnedText headerText = headers.ToHeaderText();
    const WebRequestLimits pageLimits{.maxBodyBytes = limits.maxBodyBytes, .maxTotalMs = limits.maxExchangeMs};

    // The share page, and in it the download frame.
    OwnedText frameUrl;
    {
        OwnedByteSet sharePage;
        (void)WebRequest({.url = shareUrl,
                          .method = kMethodGet,
                          .requestHeaders = headerText.get(),
                          .noRedirect = true,
                          .responseBytes = &sharePage,
                          .limits = pageLimits,
                          .decodeText = false});
        const OwnedText page1 = PageTextOfBody(std::move(sharePage));
        const OwnedText frameSrc = FrameSourceOfPage(regex, page1.get());
        if (frameSrc.empty()) {
            trace::Line("failure", "no download frame on the share page (%d bytes of text)",
                        TextByteLength(page1.get()));
        } else {
            trace::Line("resolve", "download frame \"%s\"", frameSrc.c_str());
        }
        frameUrl = ConcatTexts({serviceBaseUrl, frameSrc.get()});
    }

    // The frame page, fetched with itself as the referrer, and its signing values.
    headers.Add("Referer", frameUrl.get());
    headerText = headers.ToHeaderText();
    OwnedText postBody;
    {
        DelayWithEvents(kPauseMs);
        OwnedByteSet framePage;
        (void)WebRequest({.url = frameUrl.get(),
                          .method = kMethodGet,
                          .requestHeaders = headerText.get(),
                          .responseBytes = &framePage,
                          .limits = pageLimits,
                          .decodeText = false});
        DelayWithEvents(kPauseMs);
        const OwnedText page2 = PageTextOfBody(std::move(framePage));
        const SignValues values = ReadSignValues(page2.get());
        if (!values.found) {
            ShowMessage(kSignFailedMessage, platform::kMessageBoxOk);
            return OwnedText::StaticEmpty();
        }
        postBody = FormBody(values);
    }

    // The download-process request.
    const OwnedText endpoint = ConcatTexts({serviceBaseUrl, "/ajaxm.php"});
    OwnedByteSet answer;
    (void)WebRequest({.url = endpoint.get(),
                      .method = kMethodPost,
                      .postText = postBody.get(),
                      .requestHeaders = headerText.get(),
                      .responseBytes = &answer,
                      .limits = {.maxBodyBytes = limits.maxAnswerBytes, .maxTotalMs = limits.maxExchangeMs},
                      .decodeText = false});

    const OwnedText jsonText = AnswerTextOfBody(answer);
    answer.Reset();
    const bool parsed = json.Parse(jsonText.get());
    const OwnedText dom = parsed ? json.GetText("dom") : OwnedText();
    const OwnedText path = parsed ? json.GetText("url") : OwnedText();
    if (!parsed) {
        trace::Line("failure", "the answer is no JSON object the engine takes: \"%.200s\"", jsonText.c_str());
    } else {
        trace::Line("resolve", "answer: dom \"%s\", url \"%s\"", dom.c_str(), path.c_str());
        if (dom.empty()) trace::Line("failure", "the answer names no download host: \"%.200s\"", jsonText.c_str());
    }
    OwnedText link = LinkOfAnswer(parsed, dom.get(), path.get());
    if (link.empty()) ShowMessage(kJsonFailedMessage, platform::kMessageBoxOk);
    return link;
}

OwnedText ShareLinkResolver(const char* shareUrl) noexcept { return ResolveShareLink(ServiceBaseUrl, shareUrl, {}); }

}  // namespace quenlark
