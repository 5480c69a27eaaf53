# list-fill: filling the main window's ROM list with 100,000 ROMs, against the file-presence
# tests that the fill itself must make.
tarnwick_add_bench(list-fill SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/list/ListFill.cpp LIBS tarnwick_gui Qt6::Widgets)
target_compile_definitions(bench_list-fill PRIVATE TARNWICK_DATA_DIR="${TARNWICK_DATA_DIR}")
# list-filter: a two-word search over 100,000 ROMs with the list updated, against a plain
# case-folded substring search over their names.
tarnwick_add_bench(list-filter SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/list/ListFilter.cpp LIBS tarnwick_gui Qt6::Widgets)
target_compile_definitions(bench_list-filter PRIVATE TARNWICK_DATA_DIR="${TARNWICK_DATA_DIR}")
