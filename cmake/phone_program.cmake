# phone_program(NAME SOURCES ... LIBRARIES ... [FIXED DEFINITION...])
#
# Every program of the suite is built through this one function. A program
# whose fixed paths a test build substitutes (the interrupt counts, the
# vibrator, the modem's power switch, the message folder) gets them as
# FIXED compile definitions of its own sources, NAME="value". Only the
# program's main.cpp reads them, checks with #error that its CMake function
# set them, and hands the values to its libraries as arguments: a library
# never expects a symbol or a macro from whoever links it, and is built once.
function(phone_program name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LIBRARIES;FIXED")
  add_executable(${name} ${arg_SOURCES})
  target_compile_definitions(${name} PRIVATE ${arg_FIXED})
  target_link_libraries(${name} PRIVATE ${arg_LIBRARIES})
endfunction()
