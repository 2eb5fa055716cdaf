# Run by ctest as it starts (a TEST_INCLUDE_FILES script written by register.cmake), once
# per Wine test program: adds one test per case the program lists. Given: VEMB_PROGRAM,
# VEMB_EXE, VEMB_LIST (the program's kept list), VEMB_RUNNER (tools/wine-run), VEMB_LABELS,
# VEMB_TIMEOUT. A program that is not built, cannot list its cases or lists none gets one
# failing test in their place: its cases are never silently left out.
set(prefix "wine.${VEMB_PROGRAM}")

# One test: its name, then its command line (no argument may hold a semicolon).
macro(vemb_wine_case name)
  add_test("${name}" ${ARGN})
  set_tests_properties("${name}" PROPERTIES RESOURCE_LOCK wineprefix TIMEOUT ${VEMB_TIMEOUT}
                       LABELS "${VEMB_LABELS}")
endmacro()

if(NOT EXISTS "${VEMB_EXE}")
  vemb_wine_case("${prefix}.NotBuilt" sh -c "echo '${VEMB_EXE} is not built' && exit 1")
  return()
endif()

if("${VEMB_EXE}" IS_NEWER_THAN "${VEMB_LIST}")
  execute_process(COMMAND "${VEMB_RUNNER}" "${VEMB_EXE}" --gtest_list_tests
                  OUTPUT_VARIABLE listing ERROR_VARIABLE listing RESULT_VARIABLE status TIMEOUT 120)
  if(NOT status STREQUAL "0")
    file(REMOVE "${VEMB_LIST}")
    # What it printed goes into the failing test's output (quotes and semicolons, which the
    # command line would take apart, become spaces).
    string(REGEX REPLACE "[';]" " " listing "${listing}")
    vemb_wine_case("${prefix}.ListTests"
                   sh -c "echo '${VEMB_EXE} --gtest_list_tests failed (${status}):' && echo '${listing}' && exit 1")
    return()
  endif()
  file(WRITE "${VEMB_LIST}" "${listing}")
endif()

# The listing: "Suite." lines, each followed by its "  Case" lines; a parameterised one
# adds "  # ..." after the name. Other lines (what Wine may print) are passed over.
# Semicolons and brackets, which would take a CMake list apart, and the carriage returns
# of the Windows program's output become spaces; the lines are then the list's items.
file(READ "${VEMB_LIST}" text)
string(REGEX REPLACE "[][;\r]" " " text "${text}")
string(REPLACE "\n" ";" lines "${text}")
set(suite "")
set(count 0)
foreach(line IN LISTS lines)
  if(line MATCHES "^([A-Za-z_][A-Za-z0-9_/]*)\\.[ \t]*(#.*)?$")
    set(suite "${CMAKE_MATCH_1}")
  elseif(suite AND line MATCHES "^  ([A-Za-z_][A-Za-z0-9_/]*)[ \t]*(#.*)?$")
    set(case "${suite}.${CMAKE_MATCH_1}")
    vemb_wine_case("${prefix}.${case}" "${VEMB_RUNNER}" "${VEMB_EXE}" "--gtest_filter=${case}" --gtest_color=no)
    if(case MATCHES "(^|\\.)DISABLED_")
      set_tests_properties("${prefix}.${case}" PROPERTIES DISABLED TRUE)
    endif()
    math(EXPR count "${count} + 1")
  endif()
endforeach()
if(count EQUAL 0)
  vemb_wine_case("${prefix}.NoCases" sh -c "echo '${VEMB_EXE} lists no test case (${VEMB_LIST})' && exit 1")
endif()
