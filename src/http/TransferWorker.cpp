#include "http/TransferWorker.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <utility>

#include "http/StatusTexts.h"
#include "http/TransferHandoff.h"

namespace quenlark {

namespace {

struct TransferJob {
    explicit TransferJob(TransferPlan p) : plan(std::move(p)) {}
    TransferPlan plan;
    TransferResult result;
    TransferHandoff handoff;
    HMODULE module = nullptr;  // the reference that keeps this code loaded while the job runs
};

using SharedJob = std::shared_ptr<TransferJob>;

std::atomic<long> g_running{0};

void CALLBACK TransferWork(PTP_CALLBACK_INSTANCE instance, void* context) {
    const std::unique_ptr<SharedJob> held(static_cast<SharedJob*>(context));
    TransferJob& job = **held;
    // The library is freed once this function has returned, should the host have let go of
    // it meanwhile: never while its code still runs here.
    ::FreeLibraryWhenCallbackReturns(instance, job.module);
    RunTransfer(job.plan, job.result, &job.handoff);
    job.handoff.Finish();
    g_running.fetch_sub(1);
}

// Starts the job on a pool thread with a reference of its own to the job and to the library.
bool Start(const SharedJob& job) {
    auto context = std::make_unique<SharedJob>(job);
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<const wchar_t*>(&TransferWork),
                              &job->module)) {
        return false;
    }
    g_running.fetch_add(1);
    if (!::TrySubmitThreadpoolCallback(&TransferWork, context.get(), nullptr)) {
        g_running.fetch_sub(1);
        ::FreeLibrary(job->module);
        return false;
    }
    (void)context.release();  // the worker owns it now
    return true;
}

}  // namespace

void RunTransferWithDeadline(TransferPlan plan, TransferResult& result) {
    const SharedJob job = std::make_shared<TransferJob>(std::move(plan));
    if (!Start(job)) {
        RunTransfer(job->plan, result, nullptr);
        return;
    }
    TransferHandoff& handoff = job->handoff;
    if (handoff.WaitUntil(job->plan.limits) || handoff.Abandon()) {
        result = std::move(job->result);
        (void)handoff.TakeHeaders(result.rawHeaders);
        return;
    }
    // Left behind. From here on only the worker touches the job's plan and result.
    result.failure = StepFailure{};
    result.failure.limit = "the exchange took longer than allowed";
    if (handoff.TakeHeaders(result.rawHeaders)) {
        result.headersRead = true;
        result.read = BodyRead::OverLimit;
    } else {
        // Wherever it waited (name, connection, handshake, header block: systems differ in
        // which call does which), the server has not answered in time.
        result.failedStatus = kStatusNoResponse;
    }
}

long TransfersRunning() noexcept { return g_running.load(); }

}  // namespace quenlark
