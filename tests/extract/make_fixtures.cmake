# Payload files and an MSZIP cabinet of them (gcab), made at build time.
# Usage: cmake -DOUT=<folder> -DGCAB=<gcab> -P make_fixtures.cmake
file(REMOVE_RECURSE ${OUT}/payload)
file(MAKE_DIRECTORY ${OUT}/payload/sub/deep)

# Text that compresses well, over several 32 KiB blocks.
set(text "")
foreach(line RANGE 1 6000)
  string(APPEND text "line ${line}: the quick brown fox jumps over the lazy dog\n")
endforeach()
file(WRITE ${OUT}/payload/text.txt "${text}")

# Less regular data: numbers in changing order.
set(data "")
foreach(i RANGE 1 4000)
  math(EXPR a "(${i} * 7919) % 10007")
  math(EXPR b "(${i} * 104729) % 65521")
  string(APPEND data "${a},${b};")
endforeach()
file(WRITE ${OUT}/payload/sub/deep/data.bin "${data}")
file(WRITE ${OUT}/payload/empty.txt "")

execute_process(COMMAND ${GCAB} -c -z ${OUT}/mszip.cab text.txt sub/deep/data.bin empty.txt
                WORKING_DIRECTORY ${OUT}/payload RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "gcab failed: ${result}")
endif()
