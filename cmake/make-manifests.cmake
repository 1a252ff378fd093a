# Writes the package managers' manifests of a release: cmake -DSETTINGS=FILE -DDIST=DIR
# -DRELEASE_URL=URL -P this. SETTINGS (written by cmake/dist.cmake) gives the version;
# DIST holds Lumerin-<version>.zip and LumerinSetup-<version>.exe as they will be published
# under RELEASE_URL (http or https, the folder the two files will be in). Writes
# DIST/winget/, the three files of a winget manifest (ManifestVersion 1.12.0), and
# DIST/scoop/lumerin.json, with the two files' SHA-256 hashes as they are now.
foreach(var SETTINGS DIST RELEASE_URL)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "make-manifests: ${var} is not given")
  endif()
endforeach()
include(${SETTINGS})

set(HOMEPAGE "https://lumerin.example.org")
set(templates ${CMAKE_CURRENT_LIST_DIR}/../packaging)

# The address goes into YAML and JSON text as it is and has file names added to it: only
# the characters of a plain URL, no query, no fragment, no "$" (Scoop's variables).
string(REGEX REPLACE "/+$" "" base "${RELEASE_URL}")
if(NOT base MATCHES "^[Hh][Tt][Tt][Pp][Ss]?://[A-Za-z0-9._~:/@!&()*+,;=%-]+$")
  message(FATAL_ERROR "make-manifests: RELEASE_URL '${RELEASE_URL}' is not an http or https "
    "address of a folder (letters, digits and -._~:/@!&()*+,;=% only)")
endif()

set(zip ${DIST}/Lumerin-${VERSION}.zip)
set(setup ${DIST}/LumerinSetup-${VERSION}.exe)
foreach(file ${zip} ${setup})
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "make-manifests: ${file} is missing (make dist makes it)")
  endif()
endforeach()
file(SHA256 ${zip} ZIP_SHA256)
file(SHA256 ${setup} SETUP_SHA256)
string(TOUPPER ${SETUP_SHA256} SETUP_SHA256)  # as winget's own tools write it
set(ZIP_URL "${base}/Lumerin-${VERSION}.zip")
set(SETUP_URL "${base}/LumerinSetup-${VERSION}.exe")

# Scoop's updates: the next version's zip at the same address with the version changed,
# found on the release page of a GitHub project, else on the home page.
# (the version alone, not inside a longer number: 1.1 is not replaced in 11.12 or 1.1.2).
string(REPLACE "." "\\." version_pattern "${VERSION}")
set(delimited "(^|[^0-9.])${version_pattern}([^0-9.]|\\.[^0-9]|$)")
set(base_template "${base}")
# Twice, for matches that share a delimiter ("/1.1/1.1/").
foreach(round 1 2)
  string(REGEX REPLACE "${delimited}" "\\1$version\\2" base_template "${base_template}")
endforeach()
set(ZIP_URL_TEMPLATE "${base_template}/Lumerin-$version.zip")
if(base MATCHES "^https://github\\.com/([^/]+)/([^/]+)/releases/")
  set(CHECKVER "{\n        \"github\": \"https://github.com/${CMAKE_MATCH_1}/${CMAKE_MATCH_2}\"\n    }")
else()
  set(CHECKVER "{\n        \"url\": \"${HOMEPAGE}\",\n        \"regex\": \"Lumerin-([\\\\d.]+)\\\\.zip\"\n    }")
endif()

file(REMOVE_RECURSE ${DIST}/winget ${DIST}/scoop)
foreach(name Veltrona.Lumerin Veltrona.Lumerin.installer Veltrona.Lumerin.locale.en-US)
  configure_file(${templates}/winget/${name}.yaml.in ${DIST}/winget/${name}.yaml @ONLY)
endforeach()
configure_file(${templates}/scoop/lumerin.json.in ${DIST}/scoop/lumerin.json @ONLY)
message(STATUS "Manifests for ${base}/: ${DIST}/winget/ (winget) and ${DIST}/scoop/lumerin.json (Scoop)")
