# The fuzzing build (clang, libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer).
# Every fuzz/*_fuzz.cpp becomes one fuzzer. Under ctest each runs every input of its
# checked-in corpus and of its scratch folder once, in seconds; `make fuzz` sets a number
# of seconds to search for new inputs, which go to the scratch folder, never into the
# corpus.
set(LUMERIN_FUZZ_SECONDS 0 CACHE STRING "Seconds each fuzzer searches under ctest (0: replay)")
set(FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

lumerin_core_library(lumerin_core_fuzz ${FUZZ_SANITIZERS} -fsanitize=fuzzer-no-link -O1 -g)

file(GLOB LUMERIN_FUZZERS CONFIGURE_DEPENDS fuzz/*_fuzz.cpp)
foreach(source ${LUMERIN_FUZZERS})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE lumerin_core_fuzz)
  target_compile_options(${name} PRIVATE ${LUMERIN_WARNINGS} ${FUZZ_SANITIZERS} -fsanitize=fuzzer -O1 -g)
  target_link_options(${name} PRIVATE ${FUZZ_SANITIZERS} -fsanitize=fuzzer)
  set(scratch ${CMAKE_BINARY_DIR}/scratch/${name})
  file(MAKE_DIRECTORY ${scratch})
  if(LUMERIN_FUZZ_SECONDS GREATER 0)
    set(length -max_total_time=${LUMERIN_FUZZ_SECONDS})
    math(EXPR timeout "${LUMERIN_FUZZ_SECONDS} * 2 + 60")
  else()
    set(length -runs=0)
    set(timeout 60)
  endif()
  add_test(NAME fuzz.${name}
    COMMAND ${name} ${length} -timeout=20 -rss_limit_mb=4096
            -print_final_stats=1 -artifact_prefix=${scratch}/ ${scratch} ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name})
  set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT ${timeout})
endforeach()
# The display mode's option reading lives with the tool; its fuzzer builds with it.
target_sources(command_line_fuzz PRIVATE
  ${PROJECT_SOURCE_DIR}/tools/saver_options.cpp ${PROJECT_SOURCE_DIR}/tools/values.cpp)
