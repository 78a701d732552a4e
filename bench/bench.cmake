# Bench-only dependencies. pixman is the yardstick for the renderer's fills, copies, dimming
# and pixel replication; the program itself never links it.
pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
target_link_libraries(corvane-bench PRIVATE PkgConfig::PIXMAN)

# vizserver-load: a program of its own (not a Google Benchmark case) that loads a real
# vizserver on loopback and prints requests per second with p50/p99 latency.
if(TARGET corvane_server)
    add_executable(vizserver-load ${CMAKE_CURRENT_SOURCE_DIR}/load/VizserverLoad.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/load/LoadData.cpp)
    target_link_libraries(vizserver-load PRIVATE corvane_server)
    add_dependencies(vizserver-load vizserver)
endif()
if(TARGET skin_data)
    add_dependencies(corvane-bench skin_data)
endif()
