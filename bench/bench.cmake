# Bench-only dependencies. pixman is the yardstick for the renderer's fills, copies, dimming
# and pixel replication; the program itself never links it.
pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
target_link_libraries(corvane-bench PRIVATE PkgConfig::PIXMAN)

# vizserver-load: a program of its own (not a Google Benchmark case) that loads a real
# vizserver on loopback and prints requests per second with p50/p99 latency.
if(TARGET corvane_server)
    add_executable(vizserver-load ${CMAKE_CURRENT_SOURCE_DIR}/load/VizserverLoad.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/load/LoadRun.cpp ${CMAKE_CURRENT_SOURCE_DIR}/load/LoadTargets.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/load/LoadData.cpp ${CMAKE_CURRENT_SOURCE_DIR}/load/LiveLoad.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/load/LiveWaiters.cpp ${CMAKE_CURRENT_SOURCE_DIR}/load/ProcessProbes.cpp)
    target_include_directories(vizserver-load PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(vizserver-load PRIVATE corvane_server corvane_rpc)
    add_dependencies(vizserver-load vizserver)
endif()
if(TARGET skin_data)
    add_dependencies(corvane-bench skin_data)
endif()

# corvane-chaos: a soak run of the outbox and the idempotency keys through a fault-injecting
# proxy against a real vizserver that is restarted mid-run; not part of the test suite.
if(TARGET corvane_engine AND TARGET vizserver)
    add_executable(corvane-chaos ${CMAKE_CURRENT_SOURCE_DIR}/chaos/CorvaneChaos.cpp)
    target_include_directories(corvane-chaos PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(corvane-chaos PRIVATE corvane_engine)
    add_dependencies(corvane-chaos vizserver)
endif()

# corvane-live: from one account's save to another account's open program, on one instance and
# on two behind haproxy; not part of the test suite.
if(TARGET corvane_engine AND TARGET vizserver)
    add_executable(corvane-live ${CMAKE_CURRENT_SOURCE_DIR}/live/CorvaneLive.cpp)
    target_include_directories(corvane-live PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(corvane-live PRIVATE corvane_engine)
    add_dependencies(corvane-live vizserver)
endif()
