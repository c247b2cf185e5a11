#include "sim/MonitorFeatures.h"

namespace qx::sim {

std::shared_ptr<DriveStatusModel> InstallMonitorFeatures(SimDrive& drive,
                                                         const DriveStatusSettings& settings,
                                                         uint64_t startUs) {
    auto model = std::make_shared<DriveStatusModel>(settings, startUs);
    SimDrive::PollHandler previous = drive.pollHandler();
    drive.setPollHandler([model, previous](SimDrive& d, uint64_t nowUs) {
        if (previous) {
            Answer job = previous(d, nowUs);
            if (!job.ack || !job.words.empty()) {
                return job;
            }
        }
        return Answer::Ok(DriveStatusModel::ReplyWords(model->statusAt(nowUs)));
    });
    return model;
}

}  // namespace qx::sim
