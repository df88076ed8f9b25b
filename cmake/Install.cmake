# Where cmake --install puts things, and how shipped binaries are installed: stripped, with
# their debug information kept in the build.
#
# Without a prefix the install is the user's own: the render tool, its manual and the
# documentation under ~/.local, the plug-ins in ~/.vst, ~/.lv2 and ~/.clap, where hosts look.
# With a prefix (a package: -DCMAKE_INSTALL_PREFIX=/usr) the plug-ins go to PREFIX/lib/vst,
# PREFIX/lib/lv2 and PREFIX/lib/clap, the folders Debian's plug-in packages fill and hosts search by default.
# The Windows build installs the DLL and the render tool side by side into the prefix.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT AND NOT WIN32)
  set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/.local" CACHE PATH "Install prefix" FORCE)
endif()
include(GNUInstallDirs)

set(LYREVANE_VST_DIR "" CACHE PATH
  "Where cmake --install puts Lyrevane.so (empty: ~/.vst, or PREFIX/lib/vst with a prefix)")
set(LYREVANE_LV2_DIR "" CACHE PATH
  "Where cmake --install puts Lyrevane.lv2 (empty: ~/.lv2, or PREFIX/lib/lv2 with a prefix)")
set(LYREVANE_CLAP_DIR "" CACHE PATH
  "Where cmake --install puts Lyrevane.clap (empty: ~/.clap, or PREFIX/lib/clap with a prefix)")
if(WIN32)
  set(lyrevane_vst_dir .)
  set(lyrevane_clap_dir .)
  set(lyrevane_bin_dir .)
else()
  set(lyrevane_bin_dir ${CMAKE_INSTALL_BINDIR})
  if(CMAKE_INSTALL_PREFIX STREQUAL "$ENV{HOME}/.local")
    set(lyrevane_vst_dir $ENV{HOME}/.vst)
    set(lyrevane_lv2_dir $ENV{HOME}/.lv2)
    set(lyrevane_clap_dir $ENV{HOME}/.clap)
  else()
    set(lyrevane_vst_dir lib/vst)
    set(lyrevane_lv2_dir lib/lv2)
    set(lyrevane_clap_dir lib/clap)
  endif()
  if(LYREVANE_VST_DIR)
    set(lyrevane_vst_dir ${LYREVANE_VST_DIR})
  endif()
  if(LYREVANE_LV2_DIR)
    set(lyrevane_lv2_dir ${LYREVANE_LV2_DIR})
  endif()
  if(LYREVANE_CLAP_DIR)
    set(lyrevane_clap_dir ${LYREVANE_CLAP_DIR})
  endif()
endif()

# Installs the binary FILE (a path, generator expressions allowed), which an install rule has
# already copied to DESTINATION (relative to the prefix, or absolute), and strips the copy:
# its debug information goes to debug/NAME.debug in the build, which the stripped file names
# (a GNU debug link) for debuggers. Packages carry the stripped files only.
function(lyrevane_strip_installed file destination)
  set(debug_file ${CMAKE_BINARY_DIR}/debug/$<PATH:GET_FILENAME,${file}>.debug)
  install(CODE "
    set(folder \"${destination}\")
    if(NOT IS_ABSOLUTE \"\${folder}\")
      set(folder \"\${CMAKE_INSTALL_PREFIX}/\${folder}\")
    endif()
    set(installed \"\$ENV{DESTDIR}\${folder}/$<PATH:GET_FILENAME,${file}>\")
    file(MAKE_DIRECTORY \"${CMAKE_BINARY_DIR}/debug\")
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --only-keep-debug \"${file}\" \"${debug_file}\"
                    COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --strip-unneeded --remove-section=.comment
                            --remove-section=.note \"--add-gnu-debuglink=${debug_file}\"
                            \"\${installed}\"
                    COMMAND_ERROR_IS_FATAL ANY)
    message(STATUS \"Stripped: \${installed} (debug information in ${debug_file})\")
  ")
endfunction()

# Installs TARGET into DESTINATION, stripped.
function(lyrevane_install_binary target destination)
  install(TARGETS ${target} RUNTIME DESTINATION ${destination} LIBRARY DESTINATION ${destination})
  lyrevane_strip_installed($<TARGET_FILE:${target}> ${destination})
endfunction()
