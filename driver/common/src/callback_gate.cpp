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
    static CallbackGate gate;
    return gate;
}

} // namespace lensport
