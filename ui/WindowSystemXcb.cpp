#include "WindowSystem.h"

#include <xcb/xcb.h>

namespace windowsystem {

bool destroysWindow(const QByteArray& eventType, const void* message, WId window)
{
    if (window == 0 || eventType != "xcb_generic_event_t")
        return false;
    // Only the server's own event: one that a client made up and sent
    // (the high bit set) destroys nothing.
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    return event->response_type == XCB_DESTROY_NOTIFY
        && static_cast<const xcb_destroy_notify_event_t*>(message)->window == window;
}

}  // namespace windowsystem
