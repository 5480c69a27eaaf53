# The catalogue core's benchmarks.
tarnwick_add_bench(catalogue_load_save SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/catalogue/LoadSave.cpp LIBS tarnwick_core)
tarnwick_add_bench(catalogue_sort SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/catalogue/Sort.cpp LIBS tarnwick_core)
tarnwick_add_bench(catalogue_scan SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/catalogue/Scan.cpp LIBS tarnwick_core)
tarnwick_add_bench(stats-load SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/catalogue/StatsLoad.cpp LIBS tarnwick_core)
