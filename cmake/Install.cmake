# The installed layout (cmake --install, and the Debian package that
# scripts/package makes from it). Every file is found beside the executable,
# so the programs and data/ stay together in one folder; what the operators
# write lives under /var/lib and the display settings under /etc, reached
# through symlinks of the names the tool knows:
#   <prefix>/lib/brevant/                the programs and the read-only files of data/
#   <prefix>/lib/brevant/<state folder>  -> /var/lib/brevant/<state folder>
#   <prefix>/lib/brevant/.brevant.lock   -> /var/lib/brevant/.brevant.lock
#   <prefix>/lib/brevant/Setting.ini     -> /etc/brevant/Setting.ini
#   <prefix>/bin/<program>               -> ../lib/brevant/<program>
#   <prefix>/share/brevant/IniTemplate/  the templates a fresh install starts with
#   <prefix>/share/applications, <prefix>/share/icons/hicolor   desktop entry, icon
# The package's scripts (packaging/deb) make the state folders and the group
# that may write them.

set(BREVANT_INSTALL_DIR lib/brevant)
set(BREVANT_STATE_DIR /var/lib/brevant CACHE PATH "Where an installed Brevant keeps what the operators write")
set(BREVANT_CONFIG_DIR /etc/brevant CACHE PATH "Where an installed Brevant keeps Setting.ini")
# Folders of data/ that the tool writes into (keep in step with the files
# SyncData.cmake treats as the operator's). Everything else in data/ is read-only.
set(BREVANT_STATE_FOLDERS Log ModifyExcel ModifyXml ModifyJson ModifyPicture IniTemplate)
set(BREVANT_ICON_SIZES 16 32 48 64 128 256)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Every program made with brevant_program(); scripts/package builds this.
add_custom_target(brevant_programs)

# A symlink LINK (relative to the prefix) pointing at TARGET, made at install time.
function(brevant_install_link target link)
  get_filename_component(folder "${link}" DIRECTORY)
  install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${link}\")
    message(STATUS \"Installing: \${link} -> ${target}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${folder}\")
    file(REMOVE \"\${link}\")
    file(CREATE_LINK \"${target}\" \"\${link}\" SYMBOLIC)")
endfunction()

# Called by brevant_program() for each program.
function(brevant_install_program name)
  install(TARGETS ${name} RUNTIME DESTINATION ${BREVANT_INSTALL_DIR})
  brevant_install_link(../${BREVANT_INSTALL_DIR}/${name} bin/${name})
  set_property(GLOBAL APPEND PROPERTY BREVANT_PROGRAMS ${name})
  add_dependencies(brevant_programs ${name})
endfunction()

set(excluded PATTERN .gitkeep EXCLUDE PATTERN Setting.ini EXCLUDE PATTERN brevant.desktop EXCLUDE)
foreach(folder IN LISTS BREVANT_STATE_FOLDERS)
  list(APPEND excluded PATTERN ${folder} EXCLUDE)
endforeach()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/ DESTINATION ${BREVANT_INSTALL_DIR} ${excluded})

foreach(folder IN LISTS BREVANT_STATE_FOLDERS ITEMS .brevant.lock)
  brevant_install_link(${BREVANT_STATE_DIR}/${folder} ${BREVANT_INSTALL_DIR}/${folder})
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/data/Setting.ini DESTINATION ${BREVANT_CONFIG_DIR})
brevant_install_link(${BREVANT_CONFIG_DIR}/Setting.ini ${BREVANT_INSTALL_DIR}/Setting.ini)
install(FILES ${PROJECT_SOURCE_DIR}/data/IniTemplate/Config.ini
        DESTINATION share/brevant/IniTemplate)

install(FILES ${PROJECT_SOURCE_DIR}/data/brevant.desktop DESTINATION share/applications)
foreach(size IN LISTS BREVANT_ICON_SIZES)
  install(FILES ${PROJECT_SOURCE_DIR}/data/Icons/brevant-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME brevant.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/data/Icons/brevant.svg DESTINATION share/icons/hicolor/scalable/apps)
