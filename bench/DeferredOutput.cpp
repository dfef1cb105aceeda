#include "DeferredOutput.h"

namespace bench {

midi::Status DeferredOutput::open(midi::Handle* handle, std::uint32_t deviceId)
{
    requested_ = true;
    deviceId_ = deviceId;
    *handle = kProvisional;
    return midi::status::ok;
}

midi::Status DeferredOutput::sendShort(midi::Handle handle, std::uint32_t message)
{
    if (handle != kProvisional)
        return midi::status::invalidHandle;
    if (!opened_) {
        pending_.push_back(message);
        return midi::status::ok;
    }
    return inner_.sendShort(real_, message);
}

midi::Status DeferredOutput::close(midi::Handle handle)
{
    if (handle != kProvisional)
        return midi::status::invalidHandle;
    requested_ = false;
    if (!opened_)
        return midi::status::ok;
    opened_ = false;
    return inner_.close(real_);
}

void DeferredOutput::openNow()
{
    if (!requested_ || opened_)
        return;
    inner_.open(&real_, deviceId_);
    opened_ = true;
    for (const std::uint32_t message : pending_)
        inner_.sendShort(real_, message);
    pending_.clear();
}

}  // namespace bench
