# Warnings for the project's own targets; third-party headers come in as system includes.
function(veska_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Woverloaded-virtual)
endfunction()

# While the layers are being written, a listed source that does not exist yet is skipped
# instead of failing the configuration of the whole tree.
function(veska_existing_sources out)
  set(found)
  foreach(f ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${f})
      list(APPEND found ${f})
    endif()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()
