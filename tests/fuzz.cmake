# Fuzzes the sync reader for a bounded time. The target is built with clang
# by the script (the main build may use another compiler); without clang or
# its fuzzer runtime the test is reported as skipped.
add_test(NAME sync_fuzz
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/run_sync_fuzz.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/fuzz 30)
set_tests_properties(sync_fuzz PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77 LABELS fuzz)
