# Fails when a source file includes a layer above its own. The SWF parts
# build bottom up: format, raster, video, render, sound (no scripts, no
# timelines), then the script machine (avm1, which reaches the display only
# through its DisplayHost interface), then the player on top of both.
# Run as: cmake -DSOURCE_DIR=<src> -P CheckLayers.cmake
set(rules
  "swf/avm1|swf/(player|render|raster|sound|video)/"
  "swf/format|swf/(avm1|player|render|raster|sound|video)/"
  "swf/raster|swf/(avm1|player|render|sound|video)/"
  "swf/video|swf/(avm1|player|render|sound)/"
  "swf/render|swf/(avm1|player|sound)/"
  "swf/sound|swf/(avm1|player|render|raster|video)/")
set(failures "")
foreach(rule IN LISTS rules)
  string(REPLACE "|" ";" parts "${rule}")
  list(GET parts 0 dir)
  list(SUBLIST parts 1 -1 rest)
  list(JOIN rest "|" forbidden)
  file(GLOB_RECURSE files "${SOURCE_DIR}/${dir}/*.h" "${SOURCE_DIR}/${dir}/*.cpp")
  foreach(f IN LISTS files)
    file(STRINGS "${f}" hits REGEX "^#include \"(${forbidden})")
    foreach(h IN LISTS hits)
      file(RELATIVE_PATH rel "${SOURCE_DIR}" "${f}")
      list(APPEND failures "${rel}: ${h}")
    endforeach()
  endforeach()
endforeach()
if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "Includes against the layer order:\n${text}")
endif()
