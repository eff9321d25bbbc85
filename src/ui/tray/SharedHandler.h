#pragma once
// The hidden handler that every object of one kind shares (the simple timers' and the tray
// icons'): the first object to need it makes it, each counts itself in `RefCount`, and the
// last one out deletes it. `slot` is the handler's global pointer, null while no object
// is alive. Window thread only.

template <class Handler>
Handler& AcquireSharedHandler(Handler*& slot)
{
    if (!slot)
        slot = new Handler;
    ++slot->RefCount;
    return *slot;
}

template <class Handler>
void ReleaseSharedHandler(Handler*& slot)
{
    if (!slot)
        return;
    if (slot->RefCount > 0)
        --slot->RefCount;
    if (slot->RefCount == 0) {
        delete slot;
        slot = nullptr;
    }
}
