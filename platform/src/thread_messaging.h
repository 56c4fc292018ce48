// Internal: ends the calling thread's part in window messaging (its message-only windows
// die, queued messages are dropped, threads blocked sending to it are released). Called
// by the layer's threads before they report their end, so a wait for a thread also
// covers its windows; other threads do it from a thread-local destructor.
#pragma once

namespace platform::detail {
void EndThreadMessaging();
}
