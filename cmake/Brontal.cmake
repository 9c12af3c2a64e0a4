# Narrow string literals of product sources are Windows-1251. Only GCC can compile them so; the
# clang build of the fuzz targets keeps them UTF-8 (no fuzzed parser depends on a text).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(BRONTAL_ANSI_TEXTS -fexec-charset=CP1251)
else()
    set(BRONTAL_ANSI_TEXTS "")
endif()

# brontal_layer(<name> DEPS <targets...> [PRIVATE_DEPS <targets...>])
# A layer is the static library of the *.cpp files in its folder. Its public include directory is
# the folder itself, so sources include "AsyncComX28.h" and upper layers do the same. DEPS are the
# layers its headers expose to its users; PRIVATE_DEPS those only its sources use, whose headers
# stay out of its users' reach, so that an upper layer that includes them does not build.
# Narrow string literals of layer sources are compiled to Windows-1251.
function(brontal_layer name)
    cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(sources)
        add_library(${name} STATIC ${sources})
        target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
        target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
        # Texts inside the library are Windows-1251; sources stay readable UTF-8.
        target_compile_options(${name} PRIVATE ${BRONTAL_ANSI_TEXTS})
    else()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
endfunction()

# brontal_tests(<layer> LIBS <targets...>)
# Every <name>_test.cpp in the current folder becomes its own test program <layer>_<name>_test,
# so that one broken file does not stop the other programs from building. The folder's other
# *.cpp files (its fixtures) are compiled once, into the library <layer>_testhelpers that every
# program of the folder links.
function(brontal_tests layer)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
    file(GLOB helpers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    list(REMOVE_ITEM helpers ${tests})
    set(libs ${ARG_LIBS} brontal_testsupport GTest::gtest GTest::gmock)
    if(helpers)
        add_library(${layer}_testhelpers STATIC ${helpers})
        target_include_directories(${layer}_testhelpers PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
        target_link_libraries(${layer}_testhelpers PUBLIC ${libs})
        set(libs ${layer}_testhelpers)
    endif()
    foreach(test ${tests})
        get_filename_component(stem ${test} NAME_WE)
        set(target ${layer}_${stem})
        add_executable(${target} ${test})
        target_link_libraries(${target} PRIVATE ${libs} GTest::gtest_main)
        gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS ${layer} TIMEOUT 300)
    endforeach()
endfunction()
