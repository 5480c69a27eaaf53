# The scan dialog is a window: it goes into the window library.
target_sources(tarnwick_gui PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/Scan.cpp ${CMAKE_CURRENT_SOURCE_DIR}/Scan.h)
