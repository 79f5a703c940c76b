# ordalia_add_gtest(NAME SOURCES src... LIBS lib...)
# One test program per unit; each links only what it tests.
function(ordalia_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
    target_link_options(${name} PRIVATE ${ORDALIA_STATIC_RUNTIME})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    # Listing the tests starts Wine in the Windows build: a first start takes
    # longer than the default 5 s.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                         PROPERTIES ENVIRONMENT "ORDALIA_PROGRAM_DIR=${ORDALIA_PROGRAM_DIR}")
endfunction()
