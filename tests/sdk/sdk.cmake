# The host SDK of the cross-build (VEMB_WIN32_BUILD), as the release package delivers it:
# `make dist`'s package is built and unpacked once (the fixture), then checked, and the
# tiny host is built against the unpacked SDK alone each way a host may link and run
# under Wine.
file(GLOB VEMB_LLVM_BINS /usr/lib/llvm-*/bin)
foreach(tool clang-cl lld-link llvm-dlltool llvm-readobj)
  string(TOUPPER ${tool} var)
  string(REPLACE "-" "_" var VEMB_${var})
  find_program(${var} NAMES ${tool} ${tool}-14 HINTS ${VEMB_LLVM_BINS} REQUIRED)
endforeach()
set(work ${CMAKE_BINARY_DIR}/sdk-check)

add_test(NAME sdk.PackageHoldsTheSdkWithItsChecksums
         COMMAND ${CMAKE_SOURCE_DIR}/tests/sdk/check-package package ${VEMB_WIN32_BUILD} ${work})
set_tests_properties(sdk.PackageHoldsTheSdkWithItsChecksums PROPERTIES FIXTURES_SETUP sdk_package
                     RESOURCE_LOCK sdk_package LABELS wine)
add_test(NAME sdk.PackageVersionAgreesEverywhere
         COMMAND ${CMAKE_SOURCE_DIR}/tests/sdk/check-package versions ${VEMB_WIN32_BUILD} ${work})
add_test(NAME sdk.ModuleExportsNineUndecoratedNames
         COMMAND ${CMAKE_SOURCE_DIR}/tests/sdk/check-package module ${VEMB_WIN32_BUILD} ${work})
set_tests_properties(sdk.PackageVersionAgreesEverywhere sdk.ModuleExportsNineUndecoratedNames PROPERTIES
                     FIXTURES_REQUIRED sdk_package LABELS wine)

foreach(way mingw microsoft run-time)
  set(name sdk.TinyHostLinks_${way})
  add_test(NAME ${name}
           COMMAND ${CMAKE_SOURCE_DIR}/tests/sdk/check-host ${way} ${work}/sdk ${work}/host-${way}
                   ${VEMB_CLANG_CL} ${VEMB_LLD_LINK} ${VEMB_LLVM_DLLTOOL} ${VEMB_LLVM_READOBJ})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED sdk_package RESOURCE_LOCK wineprefix
                       TIMEOUT 300 LABELS wine)
endforeach()
