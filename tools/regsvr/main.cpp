// regsvr [-u] [-s] [-m] <library>
// Exit codes as regsvr32's: 0 done, 1 bad usage, 3 the library cannot be loaded, 4 it has no such
// entry point, 5 the entry point failed.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

enum ExitCode { kDone = 0, kBadUsage = 1, kLoadFailed = 3, kNoEntryPoint = 4, kCallFailed = 5 };

void PrintUsage() {
    std::fprintf(stderr,
                 "Usage: regsvr [-u] [-s] [-m] <library>\n"
                 "  -u  unregister (call DllUnregisterServer)\n"
                 "  -s  silent: no messages\n"
                 "  -m  for every user of the machine: the classes go to (or leave)\n"
                 "      HKEY_LOCAL_MACHINE\\Software\\Classes instead of the user's own\n");
}

bool IsOption(const char* arg, char letter) {
    return (arg[0] == '-' || arg[0] == '/') && (arg[1] == letter || arg[1] == letter - 'a' + 'A') &&
           arg[2] == '\0';
}

// Command lines are UTF-8 here; the library loader takes ANSI names.
std::string AnsiFromUtf8(const char* text) {
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (wideLength <= 0) {
        return text;
    }
    std::u16string wide(static_cast<std::size_t>(wideLength), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), wideLength);
    const int ansiLength =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    if (ansiLength <= 0) {
        return text;
    }
    std::string ansi(static_cast<std::size_t>(ansiLength), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, ansi.data(), ansiLength, nullptr, nullptr);
    ansi.resize(static_cast<std::size_t>(ansiLength - 1));
    return ansi;
}

const char* LoadErrorText(DWORD error) {
    switch (error) {
        case ERROR_MOD_NOT_FOUND:
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return "The specified module could not be found.";
        case ERROR_BAD_EXE_FORMAT:
            return "The file is not a loadable library.";
        default:
            return "The library could not be loaded.";
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool unregister = false;
    bool silent = false;
    bool machine = false;
    const char* library = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (IsOption(argv[i], 'u')) {
            unregister = true;
        } else if (IsOption(argv[i], 's')) {
            silent = true;
        } else if (IsOption(argv[i], 'm')) {
            machine = true;
        } else if (argv[i][0] == '-' || library) {
            PrintUsage();
            return kBadUsage;
        } else {
            library = argv[i];
        }
    }
    if (!library || !*library) {
        PrintUsage();
        return kBadUsage;
    }

    std::string path = AnsiFromUtf8(library);
    // A bare file name means the file in the current folder, as for regsvr32, not a search.
    if (!std::strpbrk(path.c_str(), "/\\") &&
        GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        path = "./" + path;
    }
    const char* entryName = unregister ? "DllUnregisterServer" : "DllRegisterServer";

    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        const DWORD error = GetLastError();
        if (!silent) {
            std::fprintf(stderr, "LoadLibrary(\"%s\") failed: %s (%lu)\n", library,
                         LoadErrorText(error), static_cast<unsigned long>(error));
        }
        return kLoadFailed;
    }
    auto entry = reinterpret_cast<LPFNREGISTERSERVER>(GetProcAddress(module, entryName));
    if (!entry) {
        if (!silent) {
            std::fprintf(stderr, "%s was loaded, but the %s entry point was not found.\n", library,
                         entryName);
        }
        FreeLibrary(module);
        return kNoEntryPoint;
    }

    HKEY machineClasses = nullptr;
    if (machine) {
        const LSTATUS status =
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &machineClasses, nullptr);
        if (status != ERROR_SUCCESS ||
            RegOverridePredefKey(HKEY_CLASSES_ROOT, machineClasses) != ERROR_SUCCESS) {
            if (!silent) {
                std::fprintf(stderr,
                             "The machine's classes cannot be written (error %ld); -m needs the "
                             "rights of an administrator (root).\n",
                             static_cast<long>(status));
            }
            FreeLibrary(module);
            return kCallFailed;
        }
    }
    // Registration may create objects or register type libraries: give it an apartment.
    const HRESULT init = CoInitialize(nullptr);
    const HRESULT hr = entry();
    if (machineClasses) {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        RegCloseKey(machineClasses);
    }
    if (SUCCEEDED(init)) {
        CoUninitialize();
    }
    FreeLibrary(module);

    if (FAILED(hr)) {
        if (!silent) {
            std::fprintf(stderr, "%s in %s failed: 0x%08lX\n", entryName, library,
                         static_cast<unsigned long>(static_cast<DWORD>(hr)));
        }
        return kCallFailed;
    }
    if (!silent) {
        std::printf("%s in %s succeeded.\n", entryName, library);
    }
    return kDone;
}
