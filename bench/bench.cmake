# Bench-only dependencies. pixman is the yardstick for the renderer's fills, copies, dimming
# and pixel replication; the program itself never links it.
pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
target_link_libraries(corvane-bench PRIVATE PkgConfig::PIXMAN)
