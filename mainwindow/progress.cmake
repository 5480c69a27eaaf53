# The windows' side of the progress seam, and the list's export.
target_sources(tarnwick_gui PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/StatusProgress.cpp ${CMAKE_CURRENT_SOURCE_DIR}/StatusProgress.h
  ${CMAKE_CURRENT_SOURCE_DIR}/ListExport.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ListExport.h)
