# Shared build settings for every Quendrix target.

function(qx_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion)
  if(QX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(QX_SANITIZE)
    string(REPLACE ";" "," _san "${QX_SANITIZE}")
    target_compile_options(${target} PRIVATE -fsanitize=${_san} -fno-omit-frame-pointer
                                             -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=${_san})
  endif()
endfunction()

# Collects the .cpp files of the given subsystem folders; SUBDIR "" takes the core
# files at the top of each folder, SUBDIR "ui" the Qt files below it. A program's
# main.cpp (app/main.cpp) belongs to its executable, never to a library.
function(qx_glob_sources out subsystems subdir)
  set(_all "")
  foreach(_s IN LISTS subsystems)
    if(subdir STREQUAL "")
      file(GLOB _f CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${_s}/*.cpp)
    else()
      file(GLOB _f CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${_s}/${subdir}/*.cpp)
    endif()
    list(FILTER _f EXCLUDE REGEX ".*/main\\.cpp$")
    list(APPEND _all ${_f})
  endforeach()
  set(${out} ${_all} PARENT_SCOPE)
endfunction()
