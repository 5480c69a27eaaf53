# Spanning and self-extracting archives: real engines and the ZIPSFX.BIN stub from the program
# folder, Info-ZIP archives, a fake removable drive.
tarnwick_add_test(zip_span_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ZipSpanTest.cpp ${CMAKE_CURRENT_LIST_DIR}/ZipSpanDiskTest.cpp
  LIBS tarnwick_zip)
tarnwick_add_test(zip_sfx_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ZipSfxTest.cpp LIBS tarnwick_zip)
foreach(t zip_span_test zip_sfx_test)
  add_dependencies(${t} zipengine unzengine zipsfx)
endforeach()
