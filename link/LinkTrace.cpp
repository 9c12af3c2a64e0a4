#include "LinkTrace.h"

#include <atomic>

namespace {
std::atomic<const LinkTraceHooks*> g_hooks{nullptr};
}  // namespace

void SetLinkTraceHooks(const LinkTraceHooks* hooks) {
    g_hooks.store(hooks, std::memory_order_release);
}

void LinkTraceRawData(const BYTE* bytes, DWORD count, int direction) {
    const LinkTraceHooks* hooks = g_hooks.load(std::memory_order_acquire);
    if (hooks && hooks->rawData) {
        hooks->rawData(bytes, count, direction);
    }
}

void LinkTracePacket(const BYTE* bytes, DWORD count, int direction) {
    const LinkTraceHooks* hooks = g_hooks.load(std::memory_order_acquire);
    if (hooks && hooks->packet) {
        hooks->packet(bytes, count, direction);
    }
}

void LinkTraceError(int code) {
    const LinkTraceHooks* hooks = g_hooks.load(std::memory_order_acquire);
    if (hooks && hooks->linkError) {
        hooks->linkError(code);
    }
}
