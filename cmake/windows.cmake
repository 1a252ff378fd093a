# Either Windows edition, 32-bit (cmake/mingw-i686.cmake) or 64-bit
# (cmake/mingw-x86_64.cmake): Lumerin.scr (static, system DLLs only), the same unit tests
# as the native build plus the Windows-layer tests, all run under Wine by ctest.
# No -fdata-sections: with it this compiler puts zero-filled arrays such as the two
# 1,000,000-byte generation buffers into initialised data, 2 MB of zeros in the file.
set(LUMERIN_WIN_FLAGS -Os -ffunction-sections -fno-exceptions -fno-rtti)

lumerin_core_library(lumerin_core ${LUMERIN_WIN_FLAGS})

# The Windows layer: every *_win.cpp but the program's entry.
file(GLOB LUMERIN_WIN_SOURCES CONFIGURE_DEPENDS
  core/*_win.cpp render/*_win.cpp saver/*_win.cpp settings/*_win.cpp ui/*_win.cpp host/*_win.cpp)
list(FILTER LUMERIN_WIN_SOURCES EXCLUDE REGEX "/main_win\\.cpp$")
add_library(lumerin_win STATIC ${LUMERIN_WIN_SOURCES} cmake/empty.cpp)
target_link_libraries(lumerin_win PUBLIC lumerin_core
  user32 gdi32 advapi32 kernel32)
target_compile_options(lumerin_win PRIVATE ${LUMERIN_WARNINGS} ${LUMERIN_WIN_FLAGS})
target_compile_definitions(lumerin_win PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501)

# The resources take their captions, version record and manifest from the project's
# version through these generated files.
set(LUMERIN_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(cmake/lumerin_version.h.in ${LUMERIN_GENERATED_DIR}/lumerin_version.h @ONLY)
set(LUMERIN_MANIFEST_ARCH x86)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(LUMERIN_MANIFEST_ARCH amd64)
endif()
configure_file(res/lumerin.manifest.in ${LUMERIN_GENERATED_DIR}/lumerin.manifest @ONLY)
file(GLOB LUMERIN_RESOURCES CONFIGURE_DEPENDS res/*.rc)
file(GLOB LUMERIN_RESOURCE_FILES CONFIGURE_DEPENDS res/*.h res/*.ico)
set_source_files_properties(${LUMERIN_RESOURCES} PROPERTIES OBJECT_DEPENDS
  "${LUMERIN_RESOURCE_FILES};${LUMERIN_GENERATED_DIR}/lumerin_version.h;${LUMERIN_GENERATED_DIR}/lumerin.manifest")

if(EXISTS ${PROJECT_SOURCE_DIR}/host/main_win.cpp)
  add_executable(Lumerin WIN32 host/main_win.cpp ${LUMERIN_RESOURCES})
  set_target_properties(Lumerin PROPERTIES SUFFIX ".scr")
  target_link_libraries(Lumerin PRIVATE lumerin_win)
  target_compile_options(Lumerin PRIVATE ${LUMERIN_WARNINGS} ${LUMERIN_WIN_FLAGS})
  target_link_options(Lumerin PRIVATE -static -s -Wl,--gc-sections)
  target_include_directories(Lumerin PRIVATE ${PROJECT_SOURCE_DIR}/res ${CMAKE_BINARY_DIR}/generated)
endif()

# The help file Lumerin.chm, compiled from help/, the gallery pictures and the growing dragon
# of the front page.
find_program(LUMERIN_CHMCMD chmcmd REQUIRED)
file(GLOB LUMERIN_HELP_SOURCES CONFIGURE_DEPENDS help/*)
file(GLOB LUMERIN_GALLERY CONFIGURE_DEPENDS docs/gallery/*.png)
set(LUMERIN_HELP_PICTURES ${PROJECT_SOURCE_DIR}/docs/growth.gif)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/Lumerin.chm
  COMMAND ${CMAKE_COMMAND} -E env CHMCMD=${LUMERIN_CHMCMD}
    ${PROJECT_SOURCE_DIR}/scripts/build-help ${PROJECT_SOURCE_DIR}/help
    ${PROJECT_SOURCE_DIR}/docs/gallery ${CMAKE_BINARY_DIR}/help-stage ${CMAKE_BINARY_DIR}/Lumerin.chm
    ${LUMERIN_HELP_PICTURES}
  DEPENDS ${PROJECT_SOURCE_DIR}/scripts/build-help ${LUMERIN_HELP_SOURCES} ${LUMERIN_GALLERY}
    ${LUMERIN_HELP_PICTURES}
  COMMENT "Compiling the help file")
add_custom_target(help_file ALL DEPENDS ${CMAKE_BINARY_DIR}/Lumerin.chm)

# The 64-bit tree runs every test on every machine, under the 64-bit Wine. The 32-bit
# tree's tests depend on how this machine runs 32-bit Windows programs
# (scripts/wine32-mode). Natively, it runs every test too. Under the user-mode emulator
# it runs, in a 64-bit prefix (which an emulated 32-bit Wine boots far faster), the unit
# tests, the drawing tests of the Windows layer and the end-to-end tests' short run
# (tests/e2e/CMakeLists.txt). With neither, it runs no Wine test.
# LUMERIN_WINE32_MODE names the mode instead of asking (to try the emulated tree's tests
# on a machine that runs 32-bit code natively).
set(LUMERIN_WINE32_MODE "" CACHE STRING "native, emulated or none; empty: scripts/wine32-mode")
set(LUMERIN_WINE32 "${LUMERIN_WINE32_MODE}")
if("${LUMERIN_WINE32}" STREQUAL "")
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine32-mode
    OUTPUT_VARIABLE LUMERIN_WINE32 OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
if(NOT LUMERIN_WINE32 MATCHES "^(native|emulated|none)$")
  message(FATAL_ERROR "32-bit Windows programs under Wine: \"${LUMERIN_WINE32}\" is no mode")
endif()
message(STATUS "32-bit Windows programs under Wine: ${LUMERIN_WINE32}")
set(LUMERIN_WINE_ARCH win32)
set(LUMERIN_WINE_COMMAND wine)
set(LUMERIN_RUN_WINE_TESTS ${LUMERIN_WINE32})
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(LUMERIN_WINE_ARCH win64)
  find_program(LUMERIN_WINE64 wine64 PATHS /usr/lib/wine REQUIRED)
  set(LUMERIN_WINE_COMMAND ${LUMERIN_WINE64})
  set(LUMERIN_RUN_WINE_TESTS native)
elseif(LUMERIN_WINE32 STREQUAL "emulated")
  set(LUMERIN_WINE_ARCH win64)
endif()

# A booted Wine prefix with fonts, made once per build tree; tests copy or share it.
# Where this 32-bit tree uses a 64-bit prefix too, it copies the 64-bit tree's.
set(LUMERIN_READY_PREFIX "")
if(LUMERIN_WINE_ARCH STREQUAL "win64" AND NOT CMAKE_SIZEOF_VOID_P EQUAL 8 AND LUMERIN_WIN64_DIR)
  set(LUMERIN_READY_PREFIX ${LUMERIN_WIN64_DIR}/wineprefix)
endif()
set(LUMERIN_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
if(NOT LUMERIN_RUN_WINE_TESTS STREQUAL "none")
  add_custom_command(OUTPUT ${LUMERIN_WINE_PREFIX}/.lumerin-ready
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/make-wine-prefix ${LUMERIN_WINE_PREFIX} ${LUMERIN_WINE_ARCH}
      ${LUMERIN_READY_PREFIX}
    DEPENDS ${PROJECT_SOURCE_DIR}/scripts/make-wine-prefix
    COMMENT "Preparing the Wine prefix")
  add_custom_target(wine_prefix ALL DEPENDS ${LUMERIN_WINE_PREFIX}/.lumerin-ready)
endif()

# A display number of this build tree's own, so that two trees never share an X server.
string(MD5 tree_hash "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${tree_hash}" 0 3 tree_hex)
math(EXPR LUMERIN_TEST_DISPLAY_NUMBER "0x${tree_hex} % 400 + 100")
set(LUMERIN_TEST_DISPLAY ":${LUMERIN_TEST_DISPLAY_NUMBER}")
set(WINE_PREFIX ${LUMERIN_WINE_PREFIX})
set(TEST_DISPLAY ${LUMERIN_TEST_DISPLAY})
set(SCRIPTS_DIR ${PROJECT_SOURCE_DIR}/scripts)
configure_file(cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# The zip and the installer (target dist), before the tests that install them.
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
  include(cmake/dist.cmake)
endif()

# A module-definition file for a test library: 64-bit names carry no @-size of their
# arguments, so there each export is the name as it is.
function(lumerin_def_file source result)
  set(def ${source})
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    file(READ ${source} text)
    string(REGEX REPLACE "= ([A-Za-z_]+)@[0-9]+" "= \\1" text "${text}")
    get_filename_component(name ${source} NAME)
    set(def ${CMAKE_CURRENT_BINARY_DIR}/defs/${name})
    file(WRITE ${def} "${text}")
  endif()
  set(${result} ${def} PARENT_SCOPE)
endfunction()

if(BUILD_TESTING)
  add_executable(unit_tests ${LUMERIN_UNIT_TESTS} ${LUMERIN_UNIT_TOOL_SOURCES})
  target_compile_definitions(unit_tests PRIVATE ${LUMERIN_UNIT_TEST_DEFINITIONS})
  target_link_libraries(unit_tests PRIVATE lumerin_core GTest::gtest_main GTest::gmock)
  target_compile_options(unit_tests PRIVATE ${LUMERIN_WARNINGS})
  target_link_options(unit_tests PRIVATE -static)
  add_test(NAME wine.unit_tests COMMAND unit_tests)
  set_tests_properties(wine.unit_tests PROPERTIES TIMEOUT 120)

  file(GLOB LUMERIN_WIN_TESTS CONFIGURE_DEPENDS tests/win/*_test.cpp)
  if(LUMERIN_WIN_TESTS)
    # With the program's resources, so that the tests open the real dialog templates.
    add_executable(win_tests ${LUMERIN_WIN_TESTS} ${LUMERIN_RESOURCES})
    target_include_directories(win_tests PRIVATE ${PROJECT_SOURCE_DIR}/res ${LUMERIN_GENERATED_DIR})
    target_link_libraries(win_tests PRIVATE lumerin_win version GTest::gtest_main GTest::gmock)
    target_compile_options(win_tests PRIVATE ${LUMERIN_WARNINGS})
    target_link_options(win_tests PRIVATE -static)
    # Stand-in help viewer libraries that the help tests register and load.
    foreach(viewer fake_viewer entryless_viewer)
      lumerin_def_file(${PROJECT_SOURCE_DIR}/tests/win/viewers/${viewer}.def def)
      add_library(${viewer} SHARED tests/win/viewers/${viewer}.cpp ${def})
      set_target_properties(${viewer} PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
      target_link_options(${viewer} PRIVATE -static)
      add_dependencies(win_tests ${viewer})
    endforeach()
    # Emulated, only a part of them runs (below).
    if(NOT LUMERIN_RUN_WINE_TESTS STREQUAL "emulated")
      add_test(NAME wine.win_tests COMMAND win_tests)
      # These tests own the settings key of the shared prefix while they run.
      set_tests_properties(wine.win_tests PROPERTIES RESOURCE_LOCK wine_registry TIMEOUT 120)
    endif()
  endif()

  # The processor and the systems Lumerin.scr asks for, read off the file itself.
  set(edition x86)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(edition x64)
  endif()
  add_test(NAME scr.binary COMMAND ${LUMERIN_PYTHON} -m pytest -q -p no:cacheprovider
    ${PROJECT_SOURCE_DIR}/tests/scr/test_scr_binary.py)
  set_tests_properties(scr.binary PROPERTIES TIMEOUT 60 ENVIRONMENT
    "LUMERIN_SCR=$<TARGET_FILE:Lumerin>;LUMERIN_OBJDUMP=${CMAKE_OBJDUMP};LUMERIN_EDITION=${edition}")

  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
    # The help file as built, checked against its sources and the gallery.
    add_test(NAME help.file COMMAND ${LUMERIN_PYTHON} -m pytest -q -p no:cacheprovider
      ${PROJECT_SOURCE_DIR}/tests/help/test_help_file.py)
    set_tests_properties(help.file PROPERTIES TIMEOUT 60
      ENVIRONMENT "LUMERIN_CHM=${CMAKE_BINARY_DIR}/Lumerin.chm")
  endif()

  if(EXISTS ${PROJECT_SOURCE_DIR}/tests/e2e/CMakeLists.txt)
    add_subdirectory(tests/e2e)
  endif()

  # What cannot run on this machine is reported as not run, never as passed (the
  # end-to-end tests say so in their own folder); what runs emulated is a selection
  # registered as such, so that nothing is left unrun.
  if(LUMERIN_RUN_WINE_TESTS STREQUAL "emulated")
    # One emulated process start takes about 50 s; the whole run about 130 s.
    set_tests_properties(wine.unit_tests PROPERTIES TIMEOUT 600)
  elseif(LUMERIN_RUN_WINE_TESTS STREQUAL "none")
    set_tests_properties(wine.unit_tests PROPERTIES DISABLED TRUE)
  endif()
  if(LUMERIN_RUN_WINE_TESTS STREQUAL "none" AND TEST wine.win_tests)
    set_tests_properties(wine.win_tests PROPERTIES DISABLED TRUE)
  endif()
  if(LUMERIN_RUN_WINE_TESTS STREQUAL "emulated" AND TARGET win_tests)
    # Emulated, the whole set takes far too long; the 32-bit drawing pass on a window,
    # its device context and its pause still run.
    add_test(NAME wine.win_tests.drawing
      COMMAND win_tests --gtest_filter=GdiDrawing.*:SegmentPauseTest.*:DrawingThreadStop.*)
    set_tests_properties(wine.win_tests.drawing PROPERTIES TIMEOUT 600 RESOURCE_LOCK wine_registry)
  endif()

endif()
