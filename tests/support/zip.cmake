# Archive builders (Info-ZIP zip, Python's zipfile, crafted bytes), shared by the zip,
# Stalker and spanning tests.
target_sources(tarnwick_test_support PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Archives.cpp ${CMAKE_CURRENT_LIST_DIR}/Archives.h)
# The sparse zip64 archive's CRC of zeros is combined by zlib.
find_package(ZLIB REQUIRED)
target_link_libraries(tarnwick_test_support PUBLIC ZLIB::ZLIB)
