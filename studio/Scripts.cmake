# The studio's scripts, each list in the order its files run. The page's script and the worker's
# are each made of several files put one after another at their marker in studio.html: scripts
# inline in a page opened from disk cannot import one another, so each file defines one namespace
# object that the files after it use. Read by CMakeLists.txt, for what the page is made of, and by
# Assemble.cmake, which joins them.

# Both the page and the worker hold the logic.
set(VarnholtStudioLogic logic.js)
set(VarnholtStudioWorker worker.js)
set(VarnholtStudioPage studio.js)
