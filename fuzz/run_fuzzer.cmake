# Runs one fuzzer for SECONDS over its repo corpus, writing new inputs to SCRATCH only.
file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})
set(dirs ${SCRATCH})
if(EXISTS ${CORPUS})
  list(APPEND dirs ${CORPUS})
endif()
execute_process(COMMAND ${FUZZER} -max_total_time=${SECONDS} -print_final_stats=1 ${dirs}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "fuzzer ${FUZZER} failed with ${rc}")
endif()
