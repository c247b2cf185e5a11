#pragma once

#include <cstdint>
#include <optional>

#include "motor/MotorFields.h"

namespace qx {

// How a match talks to whoever shows it. The match may run on a worker thread: the
// observer is called on that thread and must hand the calls over to its own.
class AutoMatchObserver {
  public:
    virtual ~AutoMatchObserver() = default;

    // A report: the progress bar goes to `percent`, the message line shows
    // `fields.message`, and the controls show the fields as they now stand.
    virtual void report(int percent, const MotorFields& fields) = 0;

    // The motor is turning: ask the user which way. Returns once the question is answered:
    // 0 counter-clockwise, 1 clockwise, nothing when the question was not confirmed.
    virtual std::optional<int32_t> askMagnetDirection() = 0;
};

}  // namespace qx
