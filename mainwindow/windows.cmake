# The main window, its list view, launching, the window-side helpers and the Qt prompter.
target_sources(tarnwick_gui PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/Main.cpp ${CMAKE_CURRENT_SOURCE_DIR}/Main.h
  ${CMAKE_CURRENT_SOURCE_DIR}/RomListView.cpp ${CMAKE_CURRENT_SOURCE_DIR}/RomListView.h
  ${CMAKE_CURRENT_SOURCE_DIR}/Find.cpp ${CMAKE_CURRENT_SOURCE_DIR}/SearchText.cpp ${CMAKE_CURRENT_SOURCE_DIR}/SearchText.h
  ${CMAKE_CURRENT_SOURCE_DIR}/Launch.cpp ${CMAKE_CURRENT_SOURCE_DIR}/Launch.h
  ${CMAKE_CURRENT_SOURCE_DIR}/Icons.cpp ${CMAKE_CURRENT_SOURCE_DIR}/Icons.h
  ${CMAKE_CURRENT_SOURCE_DIR}/QtPrompter.cpp ${CMAKE_CURRENT_SOURCE_DIR}/QtPrompter.h
  ${CMAKE_CURRENT_SOURCE_DIR}/ErrorDisplay.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ErrorDisplay.h
  ${CMAKE_CURRENT_SOURCE_DIR}/Windows.cpp ${CMAKE_CURRENT_SOURCE_DIR}/Windows.h
  ${CMAKE_CURRENT_SOURCE_DIR}/StartupProbe.cpp ${CMAKE_CURRENT_SOURCE_DIR}/StartupProbe.h
  ${CMAKE_CURRENT_SOURCE_DIR}/Session.cpp ${CMAKE_CURRENT_SOURCE_DIR}/Session.h
  ${CMAKE_SOURCE_DIR}/data/desktop/icons.qrc)
