# Packs the release: cmake -DSETTINGS=FILE -DOUT=DIR -DSTAGE=DIR [-DRELEASE=ON] -P this.
# SETTINGS (written by cmake/dist.cmake) names the two editions, the help file, the
# read-me and the tools; OUT receives Lumerin-<version>.zip and LumerinSetup-<version>.exe;
# STAGE is scratch space. For a release (make dist) the environment's LUMERIN_SIGN_*
# (scripts/sign-file) sign both Lumerin.scr, the installer and the uninstaller inside it;
# without them the packages are unsigned, and a line says so. The build tree's own
# packages, which the tests install, are never signed.
foreach(var SETTINGS OUT STAGE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "make-packages: ${var} is not given")
  endif()
endforeach()
include(${SETTINGS})

set(zip_file ${OUT}/Lumerin-${VERSION}.zip)
set(setup_file ${OUT}/LumerinSetup-${VERSION}.exe)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status ${run_options})
  if(NOT status EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "make-packages: failed (${status}): ${command}")
  endif()
endfunction()

# The two editions, one folder each, as the zip holds them and the installer takes them.
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE}/32-bit ${STAGE}/64-bit ${OUT})
foreach(edition 32 64)
  file(COPY_FILE ${SCR${edition}} ${STAGE}/${edition}-bit/Lumerin.scr)
  file(COPY_FILE ${CHM} ${STAGE}/${edition}-bit/Lumerin.chm)
endforeach()
file(COPY_FILE ${README} ${STAGE}/ReadMe.txt)

set(signing 1)
if(RELEASE)
  execute_process(COMMAND ${SIGN} --check RESULT_VARIABLE signing)
endif()
set(sign_define)
if(signing EQUAL 0)
  foreach(edition 32 64)
    run(${SIGN} ${STAGE}/${edition}-bit/Lumerin.scr ${edition}-bit/Lumerin.scr)
  endforeach()
  # makensis runs it on the uninstaller before storing it, and on the finished installer.
  set(sign_define -DSIGN=${SIGN})
elseif(signing EQUAL 1)
  if(RELEASE)
    message(STATUS "Packages unsigned: no LUMERIN_SIGN_PKCS12, "
      "nor LUMERIN_SIGN_CERT and LUMERIN_SIGN_KEY, given")
  endif()
else()
  message(FATAL_ERROR "make-packages: the signing settings are incomplete (above)")
endif()

# zip would add to an existing archive: start afresh. -X: no Unix owners or permissions,
# -D: no entries for the folders themselves.
file(REMOVE ${zip_file} ${setup_file})
set(run_options WORKING_DIRECTORY ${STAGE})
run(${ZIP} -q -r -X -D ${zip_file} ReadMe.txt 32-bit 64-bit)
set(run_options)

run(${MAKENSIS} -V2 -WX
  -DVERSION=${VERSION} -DVERSION_QUAD=${VERSION_QUAD}
  -DSCR32=${STAGE}/32-bit/Lumerin.scr -DSCR64=${STAGE}/64-bit/Lumerin.scr
  -DCHM=${STAGE}/32-bit/Lumerin.chm -DREADME=${STAGE}/ReadMe.txt -DICON=${ICON}
  ${sign_define} -DOUTFILE=${setup_file} ${NSI})
