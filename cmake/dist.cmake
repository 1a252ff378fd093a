# The release packages for Windows users, built into dist/ of this tree from the real
# screen saver and help file: Lumerin-<version>.zip (Lumerin.scr, Lumerin.chm and a
# read-me with CRLF line ends) and the NSIS installer LumerinSetup-<version>.exe.
# The version comes from project() only. Included from cmake/windows.cmake after the
# program's and the help file's targets.
set(LUMERIN_HELP_TARGET help_file)
set(LUMERIN_HELP_FILE ${CMAKE_BINARY_DIR}/Lumerin.chm)
set(LUMERIN_ICON ${PROJECT_SOURCE_DIR}/res/lumerin.ico)

find_program(LUMERIN_MAKENSIS makensis)
find_program(LUMERIN_ZIP zip)

set(LUMERIN_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
set(LUMERIN_DIST_ZIP ${LUMERIN_DIST_DIR}/Lumerin-${PROJECT_VERSION}.zip)
set(LUMERIN_DIST_SETUP ${LUMERIN_DIST_DIR}/LumerinSetup-${PROJECT_VERSION}.exe)

# Packages of an earlier version would otherwise be copied out beside the current ones.
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
if(missing)
  string(JOIN ", " missing ${missing})
  message(STATUS "No release packages in this tree: missing ${missing}")
  add_custom_target(dist
    COMMAND ${CMAKE_COMMAND} -E echo "Cannot build the packages: missing ${missing}"
    COMMAND ${CMAKE_COMMAND} -E false)
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

set(scr $<TARGET_FILE:Lumerin>)
set(chm ${LUMERIN_HELP_FILE})
set(readme ${CMAKE_BINARY_DIR}/packaging/ReadMe.txt)
configure_file(${PROJECT_SOURCE_DIR}/packaging/ReadMe.txt.in ${readme} @ONLY NEWLINE_STYLE CRLF)

# zip would add to an existing archive: start afresh. -j stores the bare names, -X no
# Unix owners or permissions.
add_custom_command(OUTPUT ${LUMERIN_DIST_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${LUMERIN_DIST_ZIP}
  COMMAND ${LUMERIN_ZIP} -q -j -X ${LUMERIN_DIST_ZIP} ${scr} ${chm} ${readme}
  DEPENDS Lumerin ${LUMERIN_HELP_TARGET} ${chm} ${readme}
  COMMENT "Packing Lumerin-${PROJECT_VERSION}.zip"
  VERBATIM)

set(nsi ${PROJECT_SOURCE_DIR}/packaging/lumerin.nsi)
add_custom_command(OUTPUT ${LUMERIN_DIST_SETUP}
  COMMAND ${LUMERIN_MAKENSIS} -V2 -WX
    -DVERSION=${PROJECT_VERSION} -DVERSION_QUAD=${LUMERIN_VERSION_QUAD}
    -DSCR=${scr} -DCHM=${chm} -DREADME=${readme} -DICON=${LUMERIN_ICON}
    -DOUTFILE=${LUMERIN_DIST_SETUP} ${nsi}
  DEPENDS Lumerin ${LUMERIN_HELP_TARGET} ${chm} ${readme} ${LUMERIN_ICON} ${nsi}
  COMMENT "Building LumerinSetup-${PROJECT_VERSION}.exe"
  VERBATIM)

# Built by every build: the installer's end-to-end test needs it, and it takes a second.
add_custom_target(dist ALL DEPENDS ${LUMERIN_DIST_ZIP} ${LUMERIN_DIST_SETUP})
set(LUMERIN_DIST_READY ON)
