# The native Linux build: the portable core, its sanitized unit tests, the command-line
# tool and the benchmarks.
set(LUMERIN_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

# The programs' code with the checks a Debian package's binaries carry (buffer overflows
# caught in the C library's functions, relocations read-only from the start).
set(LUMERIN_HARDENING -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)
lumerin_core_library(lumerin_core -O2 ${LUMERIN_HARDENING})

find_package(PkgConfig REQUIRED)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
# giflib, for the growth animation of "lumerin render --gif".
find_package(GIF 5 REQUIRED)

find_package(X11 REQUIRED)
# PAM and xkbcommon, for the lock screen's password.
find_library(PAM_LIBRARY pam REQUIRED)
find_path(PAM_INCLUDE_DIR security/pam_appl.h REQUIRED)
pkg_check_modules(XKBCOMMON REQUIRED IMPORTED_TARGET xkbcommon)
# sd-bus, for UPower's word on the battery.
pkg_check_modules(SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)

# The Wayland client's protocols: the layer shell from the project's own description, the
# others from Debian's wayland-protocols, each made into C by wayland-scanner.
pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
if(NOT WAYLAND_PROTOCOLS_DIR)
  message(FATAL_ERROR "wayland-protocols is missing (Debian's wayland-protocols package)")
endif()
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
set(LUMERIN_WAYLAND_DIR ${CMAKE_BINARY_DIR}/wayland)
set(LUMERIN_WAYLAND_SOURCES)
foreach(xml
    ${PROJECT_SOURCE_DIR}/wayland/layer_shell.xml
    ${WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml
    ${WAYLAND_PROTOCOLS_DIR}/unstable/xdg-output/xdg-output-unstable-v1.xml
    ${WAYLAND_PROTOCOLS_DIR}/stable/viewporter/viewporter.xml
    ${WAYLAND_PROTOCOLS_DIR}/staging/fractional-scale/fractional-scale-v1.xml
    ${WAYLAND_PROTOCOLS_DIR}/staging/ext-session-lock/ext-session-lock-v1.xml)
  get_filename_component(stem ${xml} NAME_WE)
  add_custom_command(
    OUTPUT ${LUMERIN_WAYLAND_DIR}/${stem}-client.h ${LUMERIN_WAYLAND_DIR}/${stem}.c
    COMMAND ${CMAKE_COMMAND} -E make_directory ${LUMERIN_WAYLAND_DIR}
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${LUMERIN_WAYLAND_DIR}/${stem}-client.h
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${LUMERIN_WAYLAND_DIR}/${stem}.c
    DEPENDS ${xml} VERBATIM)
  list(APPEND LUMERIN_WAYLAND_SOURCES ${LUMERIN_WAYLAND_DIR}/${stem}-client.h
    ${LUMERIN_WAYLAND_DIR}/${stem}.c)
endforeach()

# The tool, with the X11 and Wayland layers (x11/, wayland/) of its display mode, "lumerin
# saver", and of "lumerin wallpaper", and what both take from host/ (*_posix.cpp).
file(GLOB LUMERIN_TOOL_SOURCES CONFIGURE_DEPENDS tools/*.cpp)
file(GLOB LUMERIN_LINUX_LAYERS CONFIGURE_DEPENDS
  host/*_posix.cpp x11/*_x11.cpp wayland/*_wayland.cpp)
add_executable(lumerin ${LUMERIN_TOOL_SOURCES} ${LUMERIN_LINUX_LAYERS} ${LUMERIN_WAYLAND_SOURCES})
target_include_directories(lumerin PRIVATE ${LUMERIN_WAYLAND_DIR})
target_link_libraries(lumerin PRIVATE lumerin_core PkgConfig::CAIRO GIF::GIF X11::X11
  PkgConfig::WAYLAND_CLIENT PkgConfig::XKBCOMMON PkgConfig::SYSTEMD ${PAM_LIBRARY})
target_compile_options(lumerin PRIVATE ${LUMERIN_WARNINGS} ${LUMERIN_HARDENING})
target_link_options(lumerin PRIVATE -Wl,-z,relro,-z,now)

# cmake --install: the tool, a link to it among XScreenSaver's display modes and the option
# file that xscreensaver-settings reads. Relative directories are taken under the prefix.
include(GNUInstallDirs)
set(LUMERIN_HACK_DIR "${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver" CACHE STRING
  "Where XScreenSaver looks for its display modes")
set(LUMERIN_XSCREENSAVER_CONFIG_DIR "${CMAKE_INSTALL_DATADIR}/xscreensaver/config" CACHE STRING
  "Where xscreensaver-settings reads the display modes' option files")
install(TARGETS lumerin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES packaging/lumerin.xml DESTINATION ${LUMERIN_XSCREENSAVER_CONFIG_DIR})
# MATE's screensaver offers a display mode by such a theme file (Exec names the /usr link).
install(FILES packaging/lumerin.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications/screensavers)
# The manual page, compressed as Debian ships them.
configure_file(packaging/lumerin.1.in lumerin.1 @ONLY)
add_custom_command(OUTPUT lumerin.1.gz
  COMMAND sh -c "gzip -9n -c lumerin.1 > lumerin.1.gz"
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/lumerin.1 VERBATIM)
add_custom_target(lumerin_manual ALL DEPENDS lumerin.1.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/lumerin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# A relative link, so that the installed tree can be moved or packaged as a whole.
install(CODE "
  set(hack_dir [[${LUMERIN_HACK_DIR}]])
  if(NOT IS_ABSOLUTE \"\${hack_dir}\")
    set(hack_dir \"\${CMAKE_INSTALL_PREFIX}/\${hack_dir}\")
  endif()
  file(RELATIVE_PATH target \"\${hack_dir}\"
       \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/lumerin\")
  set(link \"\$ENV{DESTDIR}\${hack_dir}/lumerin\")
  message(STATUS \"Installing: \${link} -> \${target}\")
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${hack_dir}\")
  file(CREATE_LINK \"\${target}\" \"\${link}\" SYMBOLIC)
")

# The wallpaper's systemd user unit, whose ExecStart names the tool under the prefix
# installed to (the package's /usr too), and the shells' completions, which the tool writes
# from its own commands and option table.
install(CODE "
  set(LUMERIN_BIN \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  configure_file([[${PROJECT_SOURCE_DIR}/packaging/lumerin-wallpaper.service.in]]
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/user/lumerin-wallpaper.service\" @ONLY)
  message(STATUS \"Installing: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/user/lumerin-wallpaper.service\")
")
# The lock's PAM service: /etc/pam.d/lumerin for the prefix /usr (the package), else the
# prefix's own etc/pam.d, for a system whose PAM reads it there.
install(CODE "
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(pam_dir /etc/pam.d)
  else()
    set(pam_dir \"\${CMAKE_INSTALL_PREFIX}/etc/pam.d\")
  endif()
  file(INSTALL [[${PROJECT_SOURCE_DIR}/packaging/lumerin.pam]] DESTINATION \"\${pam_dir}\"
    RENAME lumerin PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
")
set(LUMERIN_COMPLETIONS ${CMAKE_BINARY_DIR}/completions)
add_custom_command(
  OUTPUT ${LUMERIN_COMPLETIONS}/lumerin ${LUMERIN_COMPLETIONS}/_lumerin ${LUMERIN_COMPLETIONS}/lumerin.fish
  COMMAND ${CMAKE_COMMAND} -E make_directory ${LUMERIN_COMPLETIONS}
  COMMAND lumerin completion bash > ${LUMERIN_COMPLETIONS}/lumerin
  COMMAND lumerin completion zsh > ${LUMERIN_COMPLETIONS}/_lumerin
  COMMAND lumerin completion fish > ${LUMERIN_COMPLETIONS}/lumerin.fish
  DEPENDS lumerin VERBATIM)
add_custom_target(lumerin_completions ALL DEPENDS ${LUMERIN_COMPLETIONS}/lumerin
  ${LUMERIN_COMPLETIONS}/_lumerin ${LUMERIN_COMPLETIONS}/lumerin.fish)
install(FILES ${LUMERIN_COMPLETIONS}/lumerin DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${LUMERIN_COMPLETIONS}/_lumerin DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
install(FILES ${LUMERIN_COMPLETIONS}/lumerin.fish DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)

include(cmake/deb.cmake)

find_package(benchmark REQUIRED)
file(GLOB LUMERIN_BENCH_SOURCES CONFIGURE_DEPENDS bench/*.cpp)
add_executable(lumerin_bench EXCLUDE_FROM_ALL ${LUMERIN_BENCH_SOURCES})
target_link_libraries(lumerin_bench PRIVATE lumerin_core benchmark::benchmark)
target_compile_options(lumerin_bench PRIVATE ${LUMERIN_WARNINGS} -O2)

if(BUILD_TESTING)
  lumerin_core_library(lumerin_core_san ${LUMERIN_SANITIZERS} -O1)
  target_link_options(lumerin_core_san PUBLIC ${LUMERIN_SANITIZERS})
  add_executable(unit_tests ${LUMERIN_UNIT_TESTS} ${LUMERIN_UNIT_TOOL_SOURCES}
    ${LUMERIN_POSIX_UNIT_TESTS} host/password_check_posix.cpp host/keyboard_posix.cpp)
  target_compile_definitions(unit_tests PRIVATE ${LUMERIN_UNIT_TEST_DEFINITIONS})
  target_link_libraries(unit_tests PRIVATE lumerin_core_san GTest::gtest_main GTest::gmock
    PkgConfig::XKBCOMMON ${PAM_LIBRARY})
  target_compile_options(unit_tests PRIVATE ${LUMERIN_WARNINGS} ${LUMERIN_SANITIZERS})
  # The slowest, every offered drawing checked against the reference, takes 6 s, and 23 s
  # on a machine busy compiling beside it.
  gtest_discover_tests(unit_tests TEST_PREFIX "native." DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 60)

  # The tool's command-line contract, checked from outside.
  lumerin_pytest_modules(tool tool
    "LUMERIN_TOOL=$<TARGET_FILE:lumerin>;LUMERIN_DEB=${LUMERIN_DEB_FILE}" 120)
  # Installing the package with apt and removing it, where that part runs.
  if(TEST tool.test_package)
    set_tests_properties(tool.test_package PROPERTIES TIMEOUT 300)
  endif()
  # About 12 s here: sway, a nested sway per test that changes outputs, weston.
  set_tests_properties(tool.test_wayland PROPERTIES TIMEOUT 150)
  # Where the package's test installs it into /usr (CI), the hosts must not meet that copy.
  if(TEST tool.test_package AND TEST tool.test_saver)
    set_tests_properties(tool.test_package tool.test_saver PROPERTIES RESOURCE_LOCK system_usr)
  endif()
endif()
