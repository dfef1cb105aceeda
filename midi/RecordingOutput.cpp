#include "RecordingOutput.h"

#include <algorithm>

namespace midi {

Status RecordingOutput::open(Handle* handle, std::uint32_t deviceId)
{
    Status result = openStatus;
    if (result == status::ok && deviceId != 0)
        result = status::badDeviceId;
    if (result == status::ok) {
        *handle = nextHandle++;
        open_.insert(*handle);
    } else {
        *handle = failedHandle;
    }
    calls.push_back({Op::Open, *handle, deviceId, result});
    return result;
}

Status RecordingOutput::sendShort(Handle handle, std::uint32_t message)
{
    const Status result = isOpen(handle) ? status::ok : status::invalidHandle;
    calls.push_back({Op::Send, handle, message, result});
    if (result == status::ok && onSend)
        onSend(message);
    return result;
}

Status RecordingOutput::close(Handle handle)
{
    const Status result = open_.erase(handle) != 0 ? status::ok : status::invalidHandle;
    calls.push_back({Op::Close, handle, 0, result});
    return result;
}

std::vector<std::uint32_t> RecordingOutput::sent() const
{
    std::vector<std::uint32_t> out;
    for (const Call& c : calls)
        if (c.op == Op::Send)
            out.push_back(c.value);
    return out;
}

std::size_t RecordingOutput::count(Op op) const
{
    return static_cast<std::size_t>(std::count_if(calls.begin(), calls.end(), [op](const Call& c) { return c.op == op; }));
}

}  // namespace midi
