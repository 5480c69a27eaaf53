# stalker-pack: a Stalker run against a loop of Info-ZIP's zip over the same files.
tarnwick_add_bench(stalker-pack SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/stalker/StalkerPack.cpp LIBS tarnwick_gui)
foreach(engine zipengine unzengine)
  if(TARGET ${engine})
    add_dependencies(bench_stalker-pack ${engine})
  endif()
endforeach()
