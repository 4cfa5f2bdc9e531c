# Warnings for every target of the project; QVR_WERROR turns them into errors.
function(qvr_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>
                         -Wnon-virtual-dtor -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough)
  if(QVR_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
