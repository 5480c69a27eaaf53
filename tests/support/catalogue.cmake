# The scripted prompter and the fake emulator, shared by every test that shows boxes or starts
# programs.
target_sources(tarnwick_test_support PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/support/ScriptedPrompter.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/ScriptedPrompter.h
  ${CMAKE_CURRENT_SOURCE_DIR}/support/FakeEmulatorReport.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/FakeEmulator.h)
target_link_libraries(tarnwick_test_support PUBLIC tarnwick_core)

add_executable(fake_emulator ${CMAKE_CURRENT_SOURCE_DIR}/support/FakeEmulator.cpp)
add_dependencies(tarnwick_test_support fake_emulator)
target_compile_definitions(tarnwick_test_support PUBLIC
  FAKE_EMULATOR_PATH="$<TARGET_FILE:fake_emulator>")
