// The status texts of a failed exchange, code page 936, as WebRequest reports them in its
// `status` output.
#pragma once

namespace quenlark {

extern const char kStatusNoWinHttp[];           // 700
extern const char kStatusBadUrl[];              // 701
extern const char kStatusNoSession[];           // 702
extern const char kStatusNoConnection[];        // 703
extern const char kStatusNoRequest[];           // 704
extern const char kStatusTimeouts[];            // 705
extern const char kStatusCredentials[];         // 707
extern const char kStatusCertificateOptions[];  // (no number)
extern const char kStatusCookieSwitch[];        // 708
extern const char kStatusRedirectSwitch[];      // 709
extern const char kStatusHeaders[];             // 710
extern const char kStatusSendFailed[];          // 711
extern const char kStatusNoResponse[];          // 712
extern const char kStatusReadFailed[];          // 713, also for a body over a limit

}  // namespace quenlark
