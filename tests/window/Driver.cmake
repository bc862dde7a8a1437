# textcnv-screenshot, the window's driver for its pictures and the start-up
# tests: built wherever the window is, with or without the tests, since the
# Windows build (which has none) needs it for its checks under wine. Never
# installed nor shipped.
add_executable(textcnv-screenshot
  ${CMAKE_CURRENT_LIST_DIR}/textcnv_screenshot.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FindingsShot.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextCnvDriver.cpp)
target_link_libraries(textcnv-screenshot PRIVATE textcnv_window)
# Where scripts/screenshot.sh and the Windows checks look for it.
set_target_properties(textcnv-screenshot PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/window)
