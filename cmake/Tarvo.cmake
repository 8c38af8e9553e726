# tarvo_add_library(<target> [DEPS ...]): one static library from the *.cpp and *.h of the
# calling folder (main.cpp excluded: it belongs to the program built over the library).
function(tarvo_add_library target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    add_library(${target} STATIC ${sources} ${headers})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  else()
    # A folder with headers only (or nothing yet) still gives its users the include path.
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# tarvo_add_program(<name> <library>): the thin main.cpp of the calling folder as a program.
function(tarvo_add_program name library)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
    add_executable(${name} ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
    target_link_libraries(${name} PRIVATE ${library})
  endif()
endfunction()
