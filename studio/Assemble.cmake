# Puts the page's style and scripts, and the library compiled to WebAssembly, into the page's
# template, which marks their places as /*@NAME@*/: one file that works from disk. The scripts at
# a marker are those Scripts.cmake lists, one after another. A script that held "</script" would
# end its element early, so none may.
include(${CMAKE_CURRENT_LIST_DIR}/Scripts.cmake)
set(Files_STYLE studio.css)
set(Files_LOGIC ${VarnholtStudioLogic})
set(Files_WORKER ${VarnholtStudioWorker})
set(Files_PAGE ${VarnholtStudioPage})
set(Files_CORE ${CORE})

file(READ ${PAGE}/studio.html Html)
foreach(Name STYLE LOGIC WORKER PAGE CORE)
  set(Joined "")
  foreach(File IN LISTS Files_${Name})
    if(NOT IS_ABSOLUTE ${File})
      set(File ${PAGE}/${File})
    endif()
    file(READ ${File} Text)
    string(TOLOWER "${Text}" Lower)
    string(FIND "${Lower}" "</script" Found)
    if(NOT Found EQUAL -1)
      message(FATAL_ERROR "${File} holds \"</script\", which would end the page's script early")
    endif()
    # A file whose last line is a comment must not swallow the next file's first line.
    if(NOT Text MATCHES "\n$")
      string(APPEND Text "\n")
    endif()
    string(APPEND Joined "${Text}")
  endforeach()
  string(REPLACE "/*@${Name}@*/" "${Joined}" Html "${Html}")
endforeach()
file(WRITE ${OUTPUT} "${Html}")
