# Compresses INPUT into OUTPUT with gzip -9n (no name, no time stamp).

cmake_minimum_required(VERSION 3.25)
get_filename_component(dir ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${dir})
execute_process(COMMAND ${GZIP} -9nc INPUT_FILE ${INPUT} OUTPUT_FILE ${OUTPUT}.tmp RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE ${OUTPUT}.tmp)
  message(FATAL_ERROR "gzip ${INPUT}: ${status}")
endif()
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
