# The studio's scripts, each list in the order its files run. The page's script and the worker's
# are each made of several files put one after another at their marker in studio.html: scripts
# inline in a page opened from disk cannot import one another, so each file defines one namespace
# object that the files after it use. Read by CMakeLists.txt, for what the page is made of, and by
# Assemble.cmake, which joins them.

# Both the page and the worker hold the logic.
set(VarnholtStudioLogic logic.js)
# The worker: the library's calls first, then the map, what it draws, its edits, paths and survey,
# and last the table of requests that reaches them all.
set(VarnholtStudioWorker worker/library.js worker/map.js worker/tiles.js worker/edits.js worker/paths.js
    worker/survey.js worker/requests.js)
# The page: what the others report through and ask the worker with, the map and the view, what is
# drawn, the panels, path, tools and edits, the pointer and keys, opening and saving, automation,
# and last main.js, which starts them.
set(VarnholtStudioPage studio/status.js studio/requests.js studio/map.js studio/view.js studio/tiles.js
    studio/overlay.js studio/panels.js studio/paths.js studio/tools.js studio/edits.js studio/pointer.js
    studio/keys.js studio/files.js studio/automation.js studio/main.js)
