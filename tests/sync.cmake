# The sync tests run the checker tool, so it is built with them.
if(TARGET sync_tests AND TARGET tarnwick-sync)
  add_dependencies(sync_tests tarnwick-sync)
endif()
