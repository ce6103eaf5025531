// A transfer with a deadline runs on a thread-pool thread while its caller waits, at most until
// the deadline. WinHTTP's synchronous calls cannot be cancelled everywhere (a request closed
// from another thread does not end a pending wait on every system, and a peer that sends a
// byte now and then never trips a time-out), so a transfer still going at its deadline is left
// behind: it owns everything it touches and keeps the library loaded until it ends, and the
// caller goes on with a failed exchange.
#pragma once

#include "http/Transfer.h"

namespace quenlark {

// Runs the plan (whose limits have a deadline) and fills `result`: the transfer's own result
// when it ended in time; otherwise a failure. Left behind before the response's headers were
// in, the server did not respond (status 712); during the body, the headers are kept and the
// body is over its time (BodyRead::OverLimit). Where no
// worker can be started, the transfer runs on the calling thread. Throws only std::bad_alloc.
void RunTransferWithDeadline(TransferPlan plan, TransferResult& result);

// How many transfers started on a worker have not ended yet (those left behind among them).
[[nodiscard]] long TransfersRunning() noexcept;

}  // namespace quenlark
