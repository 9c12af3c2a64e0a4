// Libraries through the dynamic loader. A handle is the loader's link map entry of the object
// (glibc's dlopen handle is that entry), which lets every function check that a handle names a
// loaded object before using it.
#include <libloaderapi.h>
#include <winbase.h>

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "module_path.h"

namespace {

link_map* MainProgram() {
    void* self = dlopen(nullptr, RTLD_NOW);
    link_map* map = nullptr;
    if (self) {
        dlinfo(self, RTLD_DI_LINKMAP, &map);
        dlclose(self);
    }
    return map;
}

// True when handle is one of the objects in the loader's list.
bool IsLoaded(HMODULE handle) {
    if (!handle) {
        return false;
    }
    link_map* map = MainProgram();
    while (map && map->l_prev) {
        map = map->l_prev;
    }
    for (; map; map = map->l_next) {
        if (reinterpret_cast<HMODULE>(map) == handle) {
            return true;
        }
    }
    return false;
}

bool ProgramPath(std::string& path) {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0) {
        return false;
    }
    path.assign(buffer, static_cast<std::size_t>(length));
    return true;
}

// The absolute path of a loaded object.
bool ObjectPath(HMODULE handle, std::string& path) {
    auto* map = reinterpret_cast<link_map*>(handle);
    if (!map->l_name || !map->l_name[0]) {
        return ProgramPath(path);  // the main program's entry has no name
    }
    char* resolved = realpath(map->l_name, nullptr);
    if (resolved) {
        path = resolved;
        std::free(resolved);
    } else {
        path = map->l_name;
    }
    return true;
}

HMODULE LoadedByName(const char* ansiName, int extraFlags) {
    std::string name;
    if (!module::FileSystemPath(ansiName, name)) {
        return nullptr;
    }
    return static_cast<HMODULE>(dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | extraFlags));
}

}  // namespace

WINBASEAPI HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
    std::string path;
    if (!lpLibFileName || !*lpLibFileName || !module::FileSystemPath(lpLibFileName, path)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const bool named = path.find('/') != std::string::npos;
        SetLastError(named && access(path.c_str(), F_OK) == 0 ? ERROR_BAD_EXE_FORMAT
                                                              : ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return static_cast<HMODULE>(handle);
}

WINBASEAPI FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    if (!IsLoaded(hModule)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (!lpProcName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* symbol = dlsym(hModule, lpProcName);
    if (!symbol) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

WINBASEAPI BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    if (!IsLoaded(hLibModule)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (dlclose(hLibModule) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

WINBASEAPI BOOL WINAPI GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE* phModule) {
    if (!phModule) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *phModule = nullptr;
    const bool pin = dwFlags & GET_MODULE_HANDLE_EX_FLAG_PIN;
    const bool keepCount = dwFlags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (pin && keepCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const int extraFlags = pin ? RTLD_NODELETE : 0;
    HMODULE module = nullptr;
    if (dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) {
        Dl_info info;
        link_map* map = nullptr;
        if (!dladdr1(lpModuleName, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) ||
            !map) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return FALSE;
        }
        module = reinterpret_cast<HMODULE>(map);
        // Taking a reference means opening the object once more by its own name.
        if (!keepCount && map->l_name && map->l_name[0]) {
            dlopen(map->l_name, RTLD_NOW | RTLD_NOLOAD | extraFlags);
        }
    } else if (!lpModuleName) {
        module = reinterpret_cast<HMODULE>(MainProgram());
    } else {
        module = LoadedByName(lpModuleName, extraFlags);
        if (module && keepCount) {
            dlclose(module);  // it was loaded before: the handle stays valid
        }
    }
    if (!module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    *phModule = module;
    return TRUE;
}

WINBASEAPI HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, lpModuleName, &module);
    return module;
}

WINBASEAPI DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    if (!lpFilename) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (hModule && !IsLoaded(hModule)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::string path;
    std::string ansi;
    try {
        const bool found = hModule ? ObjectPath(hModule, path) : ProgramPath(path);
        if (!found || !module::AnsiPath(path, ansi)) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    if (nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (ansi.size() >= nSize) {
        std::memcpy(lpFilename, ansi.data(), nSize - 1);
        lpFilename[nSize - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    std::memcpy(lpFilename, ansi.c_str(), ansi.size() + 1);
    return static_cast<DWORD>(ansi.size());
}
