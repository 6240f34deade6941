# The studio's scripts, each list in the order its files run. The page's script and the worker's
# are each made of several files put one after another at their marker in studio.html: scripts
# inline in a page opened from disk cannot import one another, so each file defines one namespace
# object that the files after it use. Read by CMakeLists.txt, for what the page is made of, and by
# Assemble.cmake, which joins them.

# Both the page and the worker hold the logic, the words, and what tells a file and reads PNG's chunks.
set(VarnholtStudioLogic logic.js words.js tmx.js sources.js png.js)
# The worker: the library's calls first, then the map, imports and exports, its components and the ground looked at,
# what it draws and the minimap, its edits, fills and fixes for splits, paths, the field toward a goal and survey, and last
# the table of requests that reaches them all.
set(VarnholtStudioWorker worker/library.js worker/map.js worker/imports.js worker/exports.js worker/components.js worker/inspect.js worker/tiles.js
    worker/minimap.js worker/edits.js worker/fill.js worker/fixes.js worker/paths.js worker/field.js worker/survey.js worker/requests.js)
# The page: what the others report through, the sign of work and the requests to the worker, the
# map and the view, what is drawn and its marks, the layers, survey, lists, problems, fixes for
# splits and ground, the path, the field toward a goal, tools, edits and the words under the pointer, finding one's way and
# the minimap, the pointer and keys, the legend and help, opening, saving and exporting, automation, and last
# main.js, which starts them.
set(VarnholtStudioPage studio/status.js studio/busy.js studio/requests.js studio/map.js studio/view.js studio/tiles.js
    studio/overlay.js studio/marks.js studio/layers.js studio/survey.js studio/lists.js studio/problems.js studio/fixes.js
    studio/ground.js studio/paths.js studio/field.js studio/tools.js studio/edits.js studio/hover.js studio/navigation.js
    studio/minimap.js studio/pointer.js studio/keys.js studio/legend.js studio/help.js studio/newmap.js
    studio/files.js studio/exports.js studio/automation.js studio/main.js)
