# list-fill: filling the main window's ROM list with 100,000 ROMs, against the file-presence
# tests that the fill itself must make.
tarnwick_add_bench(list-fill SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/list/ListFill.cpp LIBS tarnwick_gui Qt6::Widgets)
target_compile_definitions(bench_list-fill PRIVATE TARNWICK_DATA_DIR="${TARNWICK_DATA_DIR}")
