// Time budget of a link operation: started once, asked for the time left on every loop.
//
// Thread-safety: a timer belongs to the operation that started it.
#pragma once

#include <windows.h>

class TickTimer {
  public:
    // Starts a budget of `durationMs` from the current tick.
    void Start(DWORD durationMs);
    void Start(DWORD durationMs, DWORD nowTick);

    // Milliseconds left; 0 when the budget is spent or the timer was never started.
    DWORD Remaining() const;
    DWORD Remaining(DWORD nowTick) const;

  private:
    DWORD m_startTick = 0;  // 0: not started
    DWORD m_durationMs = 0;
};
