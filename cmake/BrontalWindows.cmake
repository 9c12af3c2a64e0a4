# The Windows build: the component BrontalOcx.dll with its type library and the command-line
# client drvkeltor.exe, from the same layer sources as the Linux build. BrontalRt stands for the
# real Windows libraries here (platform/win32).
#
# Included by the top-level CMakeLists.txt when CMAKE_SYSTEM_NAME is Windows (the toolchain files
# cmake/mingw-w64-*.cmake).

# Windows 7 is the oldest system served: GetModuleHandleExA, RegDeleteTreeA and the rest.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)
# The programs run on a bare Windows: the C++ and thread run-times are linked in, not shipped
# as DLLs of their own.
add_link_options(-static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>)
# GetProcAddress hands out a FARPROC that every caller casts to the export's own type.
add_compile_options(-Wno-cast-function-type)

add_subdirectory(platform/win32)

add_subdirectory(link)
add_subdirectory(settings)
add_subdirectory(protocol)
add_subdirectory(driver)
add_subdirectory(hosting)
add_subdirectory(tools/salestest)
add_subdirectory(tools/drvkeltor)
add_subdirectory(tests/windows)

# Half of a source's compile time is spent in <windows.h>: every library of the build reads it
# once, as a precompiled header.
foreach(library brontal_link brontal_settings brontal_protocol brontal_driver brontal_hosting
                brontal_salestest drvkeltor_core)
    target_precompile_headers(${library} PRIVATE <windows.h>)
endforeach()
