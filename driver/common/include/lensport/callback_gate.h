// SDK callbacks arrive on the SDK's threads with the camera object as context. The gate
// lets a callback reach the object only while it is alive: the object opens the gate
// before handing itself to the SDK and closes it in its teardown, after which a late or
// stray callback finds nothing and returns.
#pragma once

#include <mutex>
#include <set>

namespace lensport {

class CallbackGate {
public:
    void Open(const void* context);
    // Waits for a callback that is inside the gate for this context.
    void Close(const void* context);

    // Runs body while the context is open; false when it is not.
    template <class Body> bool Enter(const void* context, Body&& body) {
        std::lock_guard lock(lock_);
        if (open_.count(context) == 0) return false;
        body();
        return true;
    }

private:
    std::mutex lock_;
    std::set<const void*> open_;
};

CallbackGate& SdkCallbackGate();

} // namespace lensport
