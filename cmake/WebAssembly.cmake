# The library's map rooms compiled to WebAssembly by Debian's emscripten, as the studio and the
# npm package both take them: one JavaScript module with the WebAssembly inside (SINGLE_FILE), so
# that nothing has to find, fetch or read a second file. OPTIONS are the module's own (its name,
# environments, exports), DEPENDS what it needs beyond the sources.
function(varnholt_webassembly Output Comment)
  cmake_parse_arguments(PARSE_ARGV 2 Arg "" "" "OPTIONS;DEPENDS")
  set(Sources ${VARNHOLT_MAP_SOURCES} src/platform/PlatformPosix.cpp)
  list(TRANSFORM Sources PREPEND ${PROJECT_SOURCE_DIR}/)
  file(GLOB_RECURSE Headers ${PROJECT_SOURCE_DIR}/src/*.h ${PROJECT_SOURCE_DIR}/include/varnholt/*.h)
  set(Warnings -Wall -Wextra -Wpedantic -Wshadow)
  if(CMAKE_CXX_FLAGS MATCHES "-Werror")
    list(APPEND Warnings -Werror)
  endif()
  # Debian's emscripten finds its optimiser's parser (acorn) in Debian's Node modules.
  add_custom_command(
    OUTPUT ${Output}
    COMMAND ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs
            ${VARNHOLT_EMXX} -std=c++20 -O2 -fexceptions ${Warnings}
            -I${PROJECT_SOURCE_DIR}/include -I${PROJECT_SOURCE_DIR}/src ${Sources} -o ${Output}
            -sMODULARIZE=1 -sSINGLE_FILE=1
            -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=4GB -sWASM_BIGINT=1
            -sEXPORTED_RUNTIME_METHODS=UTF8ToString,stringToUTF8,lengthBytesUTF8
            ${Arg_OPTIONS}
    DEPENDS ${Sources} ${Headers} ${Arg_DEPENDS}
    COMMENT "${Comment}"
    VERBATIM)
endfunction()
