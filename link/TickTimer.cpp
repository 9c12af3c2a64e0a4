#include "TickTimer.h"

void TickTimer::Start(DWORD durationMs) {
    Start(durationMs, GetTickCount());
}

void TickTimer::Start(DWORD durationMs, DWORD nowTick) {
    // Tick 0 marks a timer that was never started. A start that falls exactly on tick 0 is taken
    // one tick later, so such a budget ends a millisecond late instead of at once.
    m_startTick = nowTick != 0 ? nowTick : 1;
    m_durationMs = durationMs;
}

DWORD TickTimer::Remaining() const {
    return Remaining(GetTickCount());
}

DWORD TickTimer::Remaining(DWORD nowTick) const {
    if (m_startTick == 0) {
        return 0;
    }
    // The tick counter wraps every 49.7 days; unsigned arithmetic keeps the elapsed time right
    // across the wrap.
    const DWORD elapsed = nowTick >= m_startTick ? nowTick - m_startTick
                                                 : static_cast<DWORD>(nowTick - m_startTick + 1);
    return elapsed < m_durationMs ? m_durationMs - elapsed : 0;
}
