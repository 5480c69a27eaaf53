# The text editor window and the help window.
target_sources(tarnwick_gui PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/Edit.cpp ${CMAKE_CURRENT_SOURCE_DIR}/Edit.h
  ${CMAKE_CURRENT_SOURCE_DIR}/Help.cpp ${CMAKE_CURRENT_SOURCE_DIR}/Help.h)
