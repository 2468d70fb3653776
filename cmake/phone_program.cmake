# phone_program(NAME SOURCES ... LIBRARIES ... [FIXED DEFINITION...])
#
# Every program of the suite is built through this one function. A program
# whose fixed paths a test build substitutes (the interrupt counts, the
# vibrator, the modem's power switch, the message folder) gets them as
# FIXED compile definitions of its own sources, NAME="value". Only the
# program's main.cpp reads them, checks with #error that they are set, and
# hands the values to its libraries as arguments: a library never expects
# a symbol or a macro from whoever links it, and is built once.
function(phone_program name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LIBRARIES;FIXED")
  list(TRANSFORM arg_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ REGEX "^[^/]")
  add_executable(${name} ${arg_SOURCES})
  target_compile_definitions(${name} PRIVATE ${arg_FIXED})
  target_link_libraries(${name} PRIVATE ${arg_LIBRARIES})
  set_target_properties(${name} PROPERTIES
    PHONE_SOURCES "${arg_SOURCES}" PHONE_LIBRARIES "${arg_LIBRARIES}")
endfunction()

# phone_test_build(PROGRAM NAME FIXED DEFINITION...)
#
# PROGRAM built again as NAME, the same sources and libraries with other
# fixed values: the build that the tests and the demo run where the phone
# has hardware.
function(phone_test_build program name)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "FIXED")
  get_target_property(sources ${program} PHONE_SOURCES)
  get_target_property(libraries ${program} PHONE_LIBRARIES)
  phone_program(${name} SOURCES ${sources} LIBRARIES ${libraries} FIXED ${arg_FIXED})
endfunction()
