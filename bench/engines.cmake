# Engine libraries against Info-ZIP on the same 200 MB of files: add at level 9 against
# `zip -9 -q -j` (time and size), extract against `unzip -o -qq`.
tarnwick_add_bench(engines SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/engines/EngineBench.cpp LIBS tarnwick_engine_client)
add_dependencies(bench_engines zipengine unzengine)
