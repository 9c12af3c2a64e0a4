#include "AsyncCommun.h"

AsyncCommun::AsyncCommun() : m_cancelEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

AsyncCommun::~AsyncCommun() {
    if (m_cancelEvent) {
        CloseHandle(m_cancelEvent);
        m_cancelEvent = nullptr;
    }
}

HANDLE AsyncCommun::GetHandle() {
    return INVALID_HANDLE_VALUE;
}

int AsyncCommun::IsOpen() {
    return m_opened;
}

int AsyncCommun::Abort() {
    return m_cancelEvent ? SetEvent(m_cancelEvent) : 0;
}
