# The Tarnwick executable, placed in the program folder with the splash window in tarnwick_gui.
target_sources(tarnwick_gui PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/Splash.cpp ${CMAKE_CURRENT_SOURCE_DIR}/Splash.h)
add_executable(Tarnwick ${CMAKE_CURRENT_SOURCE_DIR}/Tarnwick.cpp)
target_link_libraries(Tarnwick PRIVATE tarnwick_gui)
tarnwick_in_app_dir(Tarnwick)
add_dependencies(Tarnwick app_data)

# The engines and the self-extractor stub belong in the same folder; their folders are read
# after this one, so the dependencies are added once the whole tree is known.
function(tarnwick_startup_dependencies)
  foreach(t zipengine unzengine zipsfx)
    if(TARGET ${t})
      add_dependencies(Tarnwick ${t})
    endif()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tarnwick_startup_dependencies)

# The demo emulator of `make demo`: shows the ROM it was given. Built only when asked for.
add_executable(TarnwickDemoEmulator EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/demo/DemoEmulator.cpp)
target_link_libraries(TarnwickDemoEmulator PRIVATE Qt6::Widgets)
set_target_properties(TarnwickDemoEmulator PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
