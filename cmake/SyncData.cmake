# cmake -DSRC=<data dir> -DDST=<bundle dir> -P SyncData.cmake
cmake_minimum_required(VERSION 3.25)
# Folders are created, files copied when they differ; operator-owned files only
# when missing (cmake/Install.cmake names the folders an installed copy shares).
# Placeholder files that keep empty folders in git stay out.
set(KEEP_IF_PRESENT "IniTemplate/Config.ini")
file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${SRC}" "${SRC}/*")
file(MAKE_DIRECTORY "${DST}")
foreach(rel IN LISTS entries)
  if(IS_DIRECTORY "${SRC}/${rel}")
    file(MAKE_DIRECTORY "${DST}/${rel}")
    continue()
  endif()
  get_filename_component(name "${rel}" NAME)
  if(name STREQUAL ".gitkeep")
    continue()
  endif()
  if(rel IN_LIST KEEP_IF_PRESENT AND EXISTS "${DST}/${rel}")
    continue()
  endif()
  file(COPY_FILE "${SRC}/${rel}" "${DST}/${rel}" ONLY_IF_DIFFERENT)
endforeach()
