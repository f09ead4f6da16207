# zan_unit_test(<name> [NOT_IN_32BIT_PROGRAM] SOURCES <files...> LIBS <libs...>)
# One GoogleTest executable per module, registered with ctest as "win.<name>" (run under
# Wine) or "host.<name>" (native build with sanitizers). NOT_IN_32BIT_PROGRAM keeps tests
# that need the desktop to themselves (focus, synthesized input) out of the 32-bit program.
function(zan_unit_test name)
  # The fuzz build has no GoogleTest; the other builds run the unit tests.
  if(ZAN_FUZZ)
    return()
  endif()
  cmake_parse_arguments(T "NOT_IN_32BIT_PROGRAM" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  # GoogleTest's own headers trip -Werror with some flag sets; our test code stays strict.
  target_compile_options(${name} PRIVATE -Wno-error=deprecated-copy)
  # The 32-bit product build also gathers every unit test into one program
  # (tests/CMakeLists.txt), so that one start checks layouts and calling conventions at
  # 32 bits.
  if(ZAN_PRODUCT_BUILD AND NOT T_NOT_IN_32BIT_PROGRAM)
    foreach(source ${T_SOURCES})
      get_filename_component(path ${source} ABSOLUTE)
      set_property(GLOBAL APPEND PROPERTY ZAN_UNIT_SOURCES ${path})
    endforeach()
    set_property(GLOBAL APPEND PROPERTY ZAN_UNIT_LIBS ${T_LIBS})
  endif()
  if(ZAN_HOST)
    add_test(NAME host.${name} COMMAND ${name})
  elseif(NOT ZAN_PRODUCT_BUILD)
    add_test(NAME win.${name} COMMAND ${name})
    set_tests_properties(win.${name} PROPERTIES ENVIRONMENT "ZAN_WINEPREFIX=${ZAN_WINEPREFIX}")
  endif()
endfunction()

# zan_e2e_test(<name> <script> [args...]): a shell script that drives the real programs.
function(zan_e2e_test name script)
  if(ZAN_PRODUCT_BUILD)
    return()
  endif()
  add_test(NAME e2e.${name} COMMAND bash ${CMAKE_SOURCE_DIR}/${script} ${ARGN})
  set_tests_properties(e2e.${name} PROPERTIES
    ENVIRONMENT "ZAN_WINEPREFIX=${ZAN_WINEPREFIX};ZAN_BUILD=${CMAKE_BINARY_DIR};ZAN_SOURCE=${CMAKE_SOURCE_DIR}")
endfunction()

# zan_e2e_smoke32(<name> <script> [args...]): an end-to-end script that the 32-bit product
# build runs too (kept short: 32-bit starts may be emulated).
function(zan_e2e_smoke32 name script)
  if(NOT ZAN_PRODUCT_BUILD)
    return()
  endif()
  add_test(NAME e2e32.${name} COMMAND bash ${CMAKE_SOURCE_DIR}/${script} ${ARGN})
  set_tests_properties(e2e32.${name} PROPERTIES
    ENVIRONMENT "ZAN_WINEPREFIX=${ZAN_WINEPREFIX};ZAN_BUILD=${CMAKE_BINARY_DIR};ZAN_SOURCE=${CMAKE_SOURCE_DIR}")
endfunction()
