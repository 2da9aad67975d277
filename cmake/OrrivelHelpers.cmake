# Shared warning flags for every target of the project.
function(orrivel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
endfunction()

# Collects the core (portable) and shell (Win32) sources of a folder.
# Core: *.cpp that do not end in _win32.cpp. Shell: *_win32.cpp.
function(orrivel_collect dir out_core out_shell)
  file(GLOB_RECURSE all CONFIGURE_DEPENDS "${dir}/*.cpp")
  set(core "")
  set(shell "")
  foreach(f IN LISTS all)
    if(f MATCHES "_win32\\.cpp$")
      list(APPEND shell "${f}")
    else()
      list(APPEND core "${f}")
    endif()
  endforeach()
  set(${out_core} "${core}" PARENT_SCOPE)
  set(${out_shell} "${shell}" PARENT_SCOPE)
endfunction()
