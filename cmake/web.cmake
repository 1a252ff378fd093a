# The web edition (emscripten): the portable core and the page's layer (*_web.cpp) in
# WebAssembly, inside one self-contained index.html, and the live-wallpaper hosts'
# packages around it. Its tests drive the page in Chromium and compare its figures with
# the native tool's (LUMERIN_NATIVE_DIR).
set(LUMERIN_WEB_FLAGS -Oz -fno-exceptions -fno-rtti)
lumerin_core_library(lumerin_core ${LUMERIN_WEB_FLAGS})

# The display mode's option reading, which the URL query and the hosts' properties share.
file(GLOB LUMERIN_WEB_SOURCES CONFIGURE_DEPENDS web/*_web.cpp)
add_executable(lumerin_web ${LUMERIN_WEB_SOURCES} tools/saver_options.cpp tools/values.cpp)
target_link_libraries(lumerin_web PRIVATE lumerin_core)
target_compile_options(lumerin_web PRIVATE ${LUMERIN_WARNINGS} ${LUMERIN_WEB_FLAGS})
set(LUMERIN_WEB_SHELL ${PROJECT_SOURCE_DIR}/web/shell.html)
set(LUMERIN_WEB_SCRIPT ${PROJECT_SOURCE_DIR}/web/page.js)
# SINGLE_FILE puts the module and the script inside the page, which then opens from file://
# without a fetch. The optimizer runs under Node and needs Debian's acorn. This emcc's HTML
# minifier call is broken; the page is small anyway.
target_link_options(lumerin_web PRIVATE -Oz -sSINGLE_FILE=1 -sMINIFY_HTML=0
  -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=web -sEXPORTED_RUNTIME_METHODS=ccall,UTF8ToString
  --shell-file ${LUMERIN_WEB_SHELL} --post-js ${LUMERIN_WEB_SCRIPT})
set_target_properties(lumerin_web PROPERTIES OUTPUT_NAME index SUFFIX .html
  LINK_DEPENDS "${LUMERIN_WEB_SHELL};${LUMERIN_WEB_SCRIPT}"
  CXX_LINKER_LAUNCHER "env;NODE_PATH=/usr/share/nodejs")

# The hosts' packages: the page with each host's description and property files.
set(LUMERIN_LIVELY_ZIP ${CMAKE_BINARY_DIR}/lumerin-${PROJECT_VERSION}-lively.zip)
set(LUMERIN_WALLPAPER_ENGINE_ZIP ${CMAKE_BINARY_DIR}/lumerin-${PROJECT_VERSION}-wallpaper-engine.zip)
configure_file(packaging/lively/LivelyInfo.json.in lively/LivelyInfo.json @ONLY)
configure_file(packaging/lively/LivelyProperties.json lively/LivelyProperties.json COPYONLY)
configure_file(docs/gallery/04-harter-heighway-dragon.png lively/thumbnail.png COPYONLY)
configure_file(packaging/wallpaper-engine/project.json.in wallpaper-engine/project.json @ONLY)
add_custom_command(OUTPUT ${LUMERIN_LIVELY_ZIP}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:lumerin_web> lively/index.html
  COMMAND ${CMAKE_COMMAND} -E rm -f ${LUMERIN_LIVELY_ZIP}
  COMMAND ${CMAKE_COMMAND} -E chdir lively ${CMAKE_COMMAND} -E tar cf ${LUMERIN_LIVELY_ZIP}
    --format=zip index.html LivelyInfo.json LivelyProperties.json thumbnail.png
  DEPENDS lumerin_web ${CMAKE_BINARY_DIR}/lively/LivelyInfo.json
    ${CMAKE_BINARY_DIR}/lively/LivelyProperties.json ${CMAKE_BINARY_DIR}/lively/thumbnail.png
  VERBATIM)
add_custom_command(OUTPUT ${LUMERIN_WALLPAPER_ENGINE_ZIP}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:lumerin_web> wallpaper-engine/index.html
  COMMAND ${CMAKE_COMMAND} -E rm -f ${LUMERIN_WALLPAPER_ENGINE_ZIP}
  COMMAND ${CMAKE_COMMAND} -E chdir wallpaper-engine ${CMAKE_COMMAND} -E tar cf
    ${LUMERIN_WALLPAPER_ENGINE_ZIP} --format=zip index.html project.json
  DEPENDS lumerin_web ${CMAKE_BINARY_DIR}/wallpaper-engine/project.json
  VERBATIM)
add_custom_target(lumerin_web_packages ALL
  DEPENDS ${LUMERIN_LIVELY_ZIP} ${LUMERIN_WALLPAPER_ENGINE_ZIP})

if(BUILD_TESTING)
  set(LUMERIN_NATIVE_DIR "${PROJECT_SOURCE_DIR}/build/native" CACHE PATH
    "The native tree whose lumerin tool the page's figures are compared with")
  lumerin_pytest_modules(web web
    "LUMERIN_PAGE=$<TARGET_FILE:lumerin_web>;LUMERIN_TOOL=${LUMERIN_NATIVE_DIR}/lumerin;LUMERIN_LIVELY_ZIP=${LUMERIN_LIVELY_ZIP};LUMERIN_WALLPAPER_ENGINE_ZIP=${LUMERIN_WALLPAPER_ENGINE_ZIP}" 120)
endif()
