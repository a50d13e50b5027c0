# One folder, one static library, linking only the layers below it. A library's headers are
# reachable as "<folder>/..." only through a folder of the build that holds nothing but a link to
# its sources, and only from targets that link the library: an include of a layer above is not
# found, so it fails to build. Every layer is also written to layers.txt with the folders it may
# include, for scripts/check-layers.

set(FM_LAYERS_FILE ${CMAKE_BINARY_DIR}/layers.txt)
file(WRITE ${FM_LAYERS_FILE} "")
set_property(GLOBAL PROPERTY FM_LAYER_FOLDERS "")

# fm_add_layer(<library> <folder> [USES <library>...])
function(fm_add_layer name folder)
  cmake_parse_arguments(L "" "" "USES" ${ARGN})
  add_library(${name} STATIC)
  set(include_dir ${CMAKE_BINARY_DIR}/layers/${folder})
  file(MAKE_DIRECTORY ${include_dir})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${include_dir}/${folder} SYMBOLIC)
  target_include_directories(${name} PUBLIC ${include_dir})
  target_link_libraries(${name} PUBLIC ${L_USES})

  # The folders this one may include: its own and those of every layer below, transitively.
  set(allowed ${folder})
  foreach(used IN LISTS L_USES)
    get_property(below GLOBAL PROPERTY FM_LAYER_ALLOWED_${used})
    list(APPEND allowed ${below})
  endforeach()
  list(REMOVE_DUPLICATES allowed)
  set_property(GLOBAL PROPERTY FM_LAYER_ALLOWED_${name} ${allowed})
  string(REPLACE ";" " " allowed_text "${allowed}")
  file(APPEND ${FM_LAYERS_FILE} "${folder}: ${allowed_text}\n")
endfunction()
