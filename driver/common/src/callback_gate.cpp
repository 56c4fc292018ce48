#include "lensport/callback_gate.h"

namespace lensport {

void CallbackGate::Open(const void* context) {
    std::lock_guard lock(lock_);
    open_.insert(context);
}

void CallbackGate::Close(const void* context) {
    std::lock_guard lock(lock_);
    open_.erase(context);
}

CallbackGate& SdkCallbackGate() {
    // Never destroyed: an object ended by the library's detach still closes its gate.
    static CallbackGate* gate = new CallbackGate;
    return *gate;
}

} // namespace lensport
