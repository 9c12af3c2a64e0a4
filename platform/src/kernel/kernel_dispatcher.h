// Objects that can be waited for (events, threads) and the one lock that guards their states.
//
// A single dispatcher lock, as in the Windows kernel, makes wait-all atomic: a waiter sees every
// object's state at one instant and takes the auto-reset signals it needs together.
#pragma once

#include "handles_table.h"

#include <condition_variable>
#include <mutex>

namespace brontal::kernel {

std::mutex& DispatcherLock();
// Wakes every waiter so that it looks at the states again; call with the lock held.
void WakeWaiters();
// Blocks on the dispatcher until woken or the deadline; the lock must be held by `lock`.
std::condition_variable& DispatcherWakeup();

class Waitable : public KernelObject {
  public:
    using KernelObject::KernelObject;

    // Both are called with the dispatcher lock held.
    virtual bool IsSignalled() const = 0;
    // A satisfied wait takes the signal of an auto-reset object here.
    virtual void Consume() {}
};

}  // namespace brontal::kernel
