# ASan + UBSan for the test build: every target, so the libraries are checked too.
if(QVR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(QVR_FUZZ)
  # ASan + UBSan in every library at -O2, whatever the configuration (Debug keeps Qt's own
  # assertions on). Coverage goes only into the code each target fuzzes (tests/fuzz).
  add_compile_options(-O2 -fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# One static library per layer; sources are picked up from the folder so adding a
# file never needs a CMake edit.
function(qvr_add_layer target dir)
  cmake_parse_arguments(ARG "" "" "LIBS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  foreach(ex ${ARG_EXCLUDE})
    list(FILTER sources EXCLUDE REGEX ${ex})
  endforeach()
  list(FILTER sources INCLUDE REGEX "\\.cpp$|\\.h$")
  set(cpp ${sources})
  list(FILTER cpp INCLUDE REGEX "\\.cpp$")
  if(cpp)
    add_library(${target} STATIC ${sources})
    target_link_libraries(${target} PUBLIC ${ARG_LIBS})
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    qvr_set_warnings(${target})
  else()
    # A layer without sources yet still carries its dependencies.
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${ARG_LIBS})
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR}/src)
  endif()
endfunction()
