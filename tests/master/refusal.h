#pragma once

#include <QString>
#include <functional>

#include "platform/errors.h"

// The message of the UserError `run` throws; `none` when it throws nothing.
inline QString refusal(const std::function<void()>& run, const QString& none = {}) {
    try {
        run();
    } catch (const UserError& e) {
        return e.message();
    }
    return none;
}
