# startup and startup-cold: the real program's start to the first paint of a 100,000-ROM list,
# against an empty catalogue's start and against reading the list and every ROM file's state.
tarnwick_add_bench(startup SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/startup/Startup.cpp LIBS tarnwick_core)
add_dependencies(bench_startup Tarnwick)
add_dependencies(bench_startup zipengine unzengine zipsfx)
