#pragma once

#include <atomic>
#include <thread>

#include "link/DriveLink.h"
#include "params/ParamLoadProgress.h"
#include "params/UserParamTable.h"

namespace qx {

// Owns the thread that runs GetPnRange for the loading dialog. While it runs, the
// thread is the only user of the link and of the table; the owner touches neither until
// the final report (Done or Failed) has reached it.
class ParamLoadWorker {
  public:
    ParamLoadWorker() = default;
    ~ParamLoadWorker();
    ParamLoadWorker(const ParamLoadWorker&) = delete;
    ParamLoadWorker& operator=(const ParamLoadWorker&) = delete;

    // Starts the load; false when the thread could not be created.
    bool start(DriveLink& link, UserParamTable& table, ParamLoadProgress& progress);
    // Makes the worker give up after the request in progress and waits for it. The wait
    // is bounded by one request's time budget and a session opening.
    void stop();
    // Waits for a worker that has posted its final report (it returns right after).
    void join();
    bool started() const { return thread_.joinable(); }

  private:
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

}  // namespace qx
