# Zip component benchmarks: listing, extracting and adding against Info-ZIP on the same data.
add_library(zip_bench_support STATIC ${CMAKE_CURRENT_LIST_DIR}/zip/BenchSupport.cpp)
foreach(b list extract add)
  string(SUBSTRING ${b} 0 1 first)
  string(TOUPPER ${first} first)
  string(SUBSTRING ${b} 1 -1 rest)
  tarnwick_add_bench(zip_${b} SOURCES ${CMAKE_CURRENT_LIST_DIR}/zip/${first}${rest}Bench.cpp
    LIBS tarnwick_zip zip_bench_support)
  foreach(engine zipengine unzengine)
    if(TARGET ${engine})
      add_dependencies(bench_zip_${b} ${engine})
    endif()
  endforeach()
endforeach()
