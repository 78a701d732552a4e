# The one version of every program and package is project(VERSION) in the root CMakeLists.txt;
# CorvaneVersion.h carries it to the code. Only the targets that print it see the header, so a
# version change rebuilds them and nothing else. Included last: the targets exist by now.
configure_file(${CMAKE_CURRENT_LIST_DIR}/Version.h.in ${CMAKE_BINARY_DIR}/generated/CorvaneVersion.h
    @ONLY)
add_library(corvane_version INTERFACE)
target_include_directories(corvane_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
# AppInfo.h, a shell header, carries it to everything above the shell.
if(TARGET corvane_shell)
    target_link_libraries(corvane_shell PUBLIC corvane_version)
endif()
foreach(target vizserver server_tests skinc lumbra)
    if(TARGET ${target})
        target_link_libraries(${target} PRIVATE corvane_version)
    endif()
endforeach()
