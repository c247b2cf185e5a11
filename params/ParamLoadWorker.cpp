#include "params/ParamLoadWorker.h"

#include <system_error>

#include "params/GetPnRange.h"

namespace qx {

ParamLoadWorker::~ParamLoadWorker() {
    stop();
}

bool ParamLoadWorker::start(DriveLink& link, UserParamTable& table, ParamLoadProgress& progress) {
    if (thread_.joinable()) {
        return false;
    }
    stop_ = false;
    try {
        thread_ = std::thread(
            [this, &link, &table, &progress]() { GetPnRange(link, table, progress, stop_); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void ParamLoadWorker::stop() {
    stop_ = true;
    join();
}

void ParamLoadWorker::join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

}  // namespace qx
