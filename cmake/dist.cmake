# The release packages for Windows users, built into dist/ of this tree from the real
# screen saver of both editions and the help file: Lumerin-<version>.zip (folders 32-bit
# and 64-bit, each with Lumerin.scr and Lumerin.chm, and a read-me with CRLF line ends)
# and the NSIS installer LumerinSetup-<version>.exe, packed by cmake/make-packages.cmake.
# These are unsigned, for the installer's test; the target release (make dist) packs them
# afresh into release/, signed when LUMERIN_SIGN_* is set (scripts/sign-file). The 64-bit
# edition comes from the tree LUMERIN_WIN64_DIR. The version comes from project() only.
# Included from cmake/windows.cmake after the program's and the help file's targets.
set(LUMERIN_HELP_TARGET help_file)
set(LUMERIN_HELP_FILE ${CMAKE_BINARY_DIR}/Lumerin.chm)
set(LUMERIN_ICON ${PROJECT_SOURCE_DIR}/res/lumerin.ico)

find_program(LUMERIN_MAKENSIS makensis)
find_program(LUMERIN_ZIP zip)
set(LUMERIN_WIN64_DIR "" CACHE PATH "The 64-bit tree whose Lumerin.scr the packages hold")
set(LUMERIN_SCR64 ${LUMERIN_WIN64_DIR}/Lumerin.scr)

set(LUMERIN_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
set(LUMERIN_DIST_ZIP ${LUMERIN_DIST_DIR}/Lumerin-${PROJECT_VERSION}.zip)
set(LUMERIN_DIST_SETUP ${LUMERIN_DIST_DIR}/LumerinSetup-${PROJECT_VERSION}.exe)

# Packages of an earlier version would otherwise linger beside the current ones.
file(GLOB stale_packages ${LUMERIN_DIST_DIR}/*)
list(REMOVE_ITEM stale_packages ${LUMERIN_DIST_ZIP} ${LUMERIN_DIST_SETUP})
if(stale_packages)
  file(REMOVE ${stale_packages})
endif()

set(missing)
foreach(need Lumerin ${LUMERIN_HELP_TARGET})
  if(NOT TARGET ${need})
    list(APPEND missing "target ${need}")
  endif()
endforeach()
foreach(tool LUMERIN_MAKENSIS LUMERIN_ZIP)
  if(NOT ${tool})
    list(APPEND missing "${tool} (scripts/bootstrap installs it; then configure again)")
  endif()
endforeach()
if(NOT LUMERIN_WIN64_DIR)
  list(APPEND missing
    "the 64-bit edition (configure with -DLUMERIN_WIN64_DIR=its tree, as make does)")
elseif(NOT EXISTS ${LUMERIN_SCR64})
  if(IS_DIRECTORY ${LUMERIN_WIN64_DIR})
    list(APPEND missing "the 64-bit edition ${LUMERIN_SCR64} (make win64)")
    # The file's arrival changes its folder: then this tree configures itself again.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${LUMERIN_WIN64_DIR})
  else()
    list(APPEND missing "the 64-bit edition ${LUMERIN_SCR64} (make win64; then configure again)")
  endif()
endif()
if(missing)
  string(JOIN ", " missing ${missing})
  message(STATUS "No release packages in this tree: missing ${missing}")
  foreach(target dist release)
    add_custom_target(${target}
      COMMAND ${CMAKE_COMMAND} -E echo "Cannot build the packages: missing ${missing}"
      COMMAND ${CMAKE_COMMAND} -E false)
  endforeach()
  return()
endif()

# Four numbers for the installer's version resource.
set(LUMERIN_VERSION_QUAD ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
foreach(part PATCH TWEAK)
  if(PROJECT_VERSION_${part} STREQUAL "")
    string(APPEND LUMERIN_VERSION_QUAD .0)
  else()
    string(APPEND LUMERIN_VERSION_QUAD .${PROJECT_VERSION_${part}})
  endif()
endforeach()

set(readme ${CMAKE_BINARY_DIR}/packaging/ReadMe.txt)
configure_file(${PROJECT_SOURCE_DIR}/packaging/ReadMe.txt.in ${readme} @ONLY NEWLINE_STYLE CRLF)

# What cmake/make-packages.cmake packs, for this tree, for a release and for the
# installer's test, which packs a signed set.
set(LUMERIN_PACKAGE_SETTINGS ${CMAKE_BINARY_DIR}/packaging/packages.cmake)
set(nsi ${PROJECT_SOURCE_DIR}/packaging/lumerin.nsi)
set(sign ${PROJECT_SOURCE_DIR}/scripts/sign-file)
set(packer ${PROJECT_SOURCE_DIR}/cmake/make-packages.cmake)
file(GENERATE OUTPUT ${LUMERIN_PACKAGE_SETTINGS} CONTENT
"set(VERSION \"${PROJECT_VERSION}\")
set(VERSION_QUAD \"${LUMERIN_VERSION_QUAD}\")
set(SCR32 \"$<TARGET_FILE:Lumerin>\")
set(SCR64 \"${LUMERIN_SCR64}\")
set(CHM \"${LUMERIN_HELP_FILE}\")
set(README \"${readme}\")
set(ICON \"${LUMERIN_ICON}\")
set(NSI \"${nsi}\")
set(SIGN \"${sign}\")
set(MAKENSIS \"${LUMERIN_MAKENSIS}\")
set(ZIP \"${LUMERIN_ZIP}\")
")

add_custom_command(OUTPUT ${LUMERIN_DIST_ZIP} ${LUMERIN_DIST_SETUP}
  COMMAND ${CMAKE_COMMAND} -DSETTINGS=${LUMERIN_PACKAGE_SETTINGS} -DOUT=${LUMERIN_DIST_DIR}
    -DSTAGE=${CMAKE_BINARY_DIR}/packaging/stage -P ${packer}
  DEPENDS Lumerin ${LUMERIN_HELP_TARGET} ${LUMERIN_HELP_FILE} ${LUMERIN_SCR64} ${readme}
    ${LUMERIN_ICON} ${nsi} ${sign} ${packer} ${LUMERIN_PACKAGE_SETTINGS}
  COMMENT "Packing Lumerin-${PROJECT_VERSION}.zip and LumerinSetup-${PROJECT_VERSION}.exe"
  VERBATIM)

# Built by every build: the installer's end-to-end test needs it, and it takes seconds.
add_custom_target(dist ALL DEPENDS ${LUMERIN_DIST_ZIP} ${LUMERIN_DIST_SETUP})

# The release, packed every time it is asked for, so that it is signed whenever the
# environment names a certificate now.
set(LUMERIN_RELEASE_DIR ${CMAKE_BINARY_DIR}/release)
add_custom_target(release
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${LUMERIN_RELEASE_DIR}
  COMMAND ${CMAKE_COMMAND} -DSETTINGS=${LUMERIN_PACKAGE_SETTINGS} -DRELEASE=ON
    -DOUT=${LUMERIN_RELEASE_DIR} -DSTAGE=${CMAKE_BINARY_DIR}/packaging/release -P ${packer}
  COMMENT "Packing the release"
  VERBATIM)
add_dependencies(release dist)
set(LUMERIN_DIST_READY ON)
