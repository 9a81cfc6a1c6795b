# Applied to every target of the project through vantrel_warnings().
add_library(vantrel_warnings INTERFACE)
target_compile_options(vantrel_warnings INTERFACE
    -Wall -Wextra -Wshadow -Wpedantic -Wnon-virtual-dtor -Wcast-align -Woverloaded-virtual
    -Wimplicit-fallthrough -Wconversion -Wsign-conversion -Wold-style-cast)
# GCC's UndefinedBehaviorSanitizer instruments every shift, which hides the value ranges that
# -Wsign-conversion relies on: it then reports masks of shifted bytes that it proves
# non-negative in every other build. The builds without that sanitizer keep the warning.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND VANTREL_SANITIZE MATCHES "undefined")
    target_compile_options(vantrel_warnings INTERFACE -Wno-sign-conversion)
endif()
if(VANTREL_WERROR)
    target_compile_options(vantrel_warnings INTERFACE -Werror)
endif()

# vantrel_library(name SOURCES ... DEPS ...): one static library per subsystem folder.
function(vantrel_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE vantrel_warnings)
endfunction()

# vantrel_test(name SOURCES ... DEPS ... [LABELS ...]): a GoogleTest executable registered with ctest.
function(vantrel_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main vantrel_warnings)
    target_compile_definitions(${name} PRIVATE
        VANTREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}" VANTREL_BINARY_DIR="${PROJECT_BINARY_DIR}")
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${ARG_LABELS}")
endfunction()
