# larkspur_library(NAME [DEPS ...] [ONLY regex] [EXCLUDE regex]): a static
# library of every source in the calling folder (or of those whose path
# matches ONLY, without those matching EXCLUDE). Sources are globbed so that a new class pair
# needs no edit of a build file. A folder with no sources yet gives an
# interface library, so that the layers can be linked before they are filled.
function(larkspur_library name)
    cmake_parse_arguments(ARG "" "ONLY;EXCLUDE" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    if(ARG_ONLY)
        list(FILTER sources INCLUDE REGEX "${ARG_ONLY}")
    endif()
    if(ARG_EXCLUDE)
        list(FILTER sources EXCLUDE REGEX "${ARG_EXCLUDE}")
    endif()
    list(FILTER sources INCLUDE REGEX "\\.cpp$")
    if(sources)
        add_library(${name} STATIC ${sources})
        target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} PUBLIC ${ARG_DEPS})
        set_target_properties(${name} PROPERTIES AUTOMOC ON)
    else()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
endfunction()
