# The generator of the module's two transfer clips, res/sending.avi and res/receiving.avi
# (resources 111 and 112). The clips are committed; regenerate them after a change with
#   cmake --build build/native --target avi_update
# and the CommittedClips tests check that the committed files are what it writes.
add_library(avigen STATIC ${CMAKE_CURRENT_LIST_DIR}/avi_writer.cpp ${CMAKE_CURRENT_LIST_DIR}/canvas.cpp
                          ${CMAKE_CURRENT_LIST_DIR}/rle8.cpp ${CMAKE_CURRENT_LIST_DIR}/scene.cpp)
target_include_directories(avigen PUBLIC ${CMAKE_SOURCE_DIR}/tools)

add_executable(mkavi ${CMAKE_CURRENT_LIST_DIR}/mkavi.cpp)
target_link_libraries(mkavi PRIVATE avigen)

# The native tests of the encoder, the file layout and the drawings.
target_link_libraries(native_tests PRIVATE avigen)
if(TARGET native_tests_asan)
  target_link_libraries(native_tests_asan PRIVATE avigen)
endif()

add_custom_target(avi_update
                  COMMAND mkavi ${CMAKE_SOURCE_DIR}/res/sending.avi send
                  COMMAND mkavi ${CMAKE_SOURCE_DIR}/res/receiving.avi receive
                  COMMENT "Writing res/sending.avi and res/receiving.avi")

foreach(clip "Sending;send;sending" "Receiving;receive;receiving")
  list(GET clip 0 test)
  list(GET clip 1 kind)
  list(GET clip 2 file)
  add_test(NAME native.CommittedClips.${test}
           COMMAND ${CMAKE_COMMAND} -DMKAVI=$<TARGET_FILE:mkavi> -DKIND=${kind}
                   -DOUT=${CMAKE_CURRENT_BINARY_DIR}/avigen/${file}.avi
                   -DCOMMITTED=${CMAKE_SOURCE_DIR}/res/${file}.avi
                   -P ${CMAKE_CURRENT_LIST_DIR}/check_clip.cmake)
  set_tests_properties(native.CommittedClips.${test} PROPERTIES LABELS native TIMEOUT 120)
endforeach()
