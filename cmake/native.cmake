# The native Linux build: the portable core, its sanitized unit tests, the command-line
# tool and the benchmarks.
set(LUMERIN_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

lumerin_core_library(lumerin_core -O2)

find_package(PkgConfig REQUIRED)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)

file(GLOB LUMERIN_TOOL_SOURCES CONFIGURE_DEPENDS tools/*.cpp)
add_executable(lumerin ${LUMERIN_TOOL_SOURCES})
target_link_libraries(lumerin PRIVATE lumerin_core PkgConfig::CAIRO)
target_compile_options(lumerin PRIVATE ${LUMERIN_WARNINGS})

find_package(benchmark REQUIRED)
file(GLOB LUMERIN_BENCH_SOURCES CONFIGURE_DEPENDS bench/*.cpp)
add_executable(lumerin_bench EXCLUDE_FROM_ALL ${LUMERIN_BENCH_SOURCES})
target_link_libraries(lumerin_bench PRIVATE lumerin_core benchmark::benchmark)
target_compile_options(lumerin_bench PRIVATE ${LUMERIN_WARNINGS} -O2)

if(BUILD_TESTING)
  lumerin_core_library(lumerin_core_san ${LUMERIN_SANITIZERS} -O1)
  target_link_options(lumerin_core_san PUBLIC ${LUMERIN_SANITIZERS})
  add_executable(unit_tests ${LUMERIN_UNIT_TESTS})
  target_compile_definitions(unit_tests PRIVATE ${LUMERIN_UNIT_TEST_DEFINITIONS})
  target_link_libraries(unit_tests PRIVATE lumerin_core_san GTest::gtest_main GTest::gmock)
  target_compile_options(unit_tests PRIVATE ${LUMERIN_WARNINGS} ${LUMERIN_SANITIZERS})
  gtest_discover_tests(unit_tests TEST_PREFIX "native." DISCOVERY_TIMEOUT 60)

  # The tool's command-line contract, checked from outside.
  file(GLOB LUMERIN_TOOL_TESTS CONFIGURE_DEPENDS tests/tool/test_*.py)
  foreach(test ${LUMERIN_TOOL_TESTS})
    get_filename_component(stem ${test} NAME_WE)
    add_test(NAME tool.${stem} COMMAND ${LUMERIN_PYTHON} -m pytest -q -p no:cacheprovider ${test})
    set_tests_properties(tool.${stem} PROPERTIES ENVIRONMENT "LUMERIN_TOOL=$<TARGET_FILE:lumerin>")
  endforeach()
endif()
