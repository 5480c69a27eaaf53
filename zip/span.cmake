# Multi-disk sets and self-extracting archives, part of the zip component. The header layout of
# the self-extractor is shared with the ZIPSFX.BIN stub (engines/zipsfx).
target_sources(tarnwick_zip PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/ZipSpan.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ZipSpan.h
  ${CMAKE_CURRENT_SOURCE_DIR}/ZipSfx.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ZipSfx.h
  ${CMAKE_SOURCE_DIR}/engines/zipsfx/SfxHeader.cpp ${CMAKE_SOURCE_DIR}/engines/zipsfx/SfxHeader.h)
target_compile_definitions(tarnwick_zip PUBLIC TARNWICK_ZIP_SPAN=1)
