# The packages of the end-to-end tests, made with vuvpack at build time.
# Usage: cmake -DSOURCE=<payload folder> -DSETUP=<sample_setup.exe> -DSTUB=<vuvuzu.exe>
#              -DVUVPACK=<vuvpack> -DOUT=<folder> -P make_packages.cmake
#
# sample.exe: the typical package: the payload files and setup.exe, to be
#   extracted into the private folder ~<program> in %temp% without a
#   dialog after a confirmation, setup.exe run and waited for, the files
#   deleted afterwards.
# lzx21.exe, lzx15.exe: the payload, setup.exe, a copy of the module
#   (program code, many E8 bytes) and 200 KB of text, compressed with LZX
#   and a 2 MB and a 32 KB window; the folder lzx_payload stays, to compare.
#   lzx21-fast.exe, lzx21-best.exe: the same at the other levels.
# cancel.exe: first.txt, setup.exe and 256 MiB of zeros (a few hundred KiB
#   packed as MSZIP), long enough to be cancelled while it is written; its
#   header is not used (the tests run it in archive mode).
function(pack)
  execute_process(COMMAND ${VUVPACK} build --stub ${STUB} ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "vuvpack build ${ARGN}: ${result}")
  endif()
endfunction()

file(REMOVE_RECURSE ${OUT}/payload ${OUT}/cancel_payload)
file(COPY ${SOURCE}/ DESTINATION ${OUT}/payload)
file(COPY_FILE ${SETUP} ${OUT}/payload/setup.exe)
pack(--dir ${OUT}/payload -o ${OUT}/sample.exe --destination %temp% --command setup.exe --delete-after-run
     --no-dialog --no-open-folder --confirm-caption "Sample package" --confirm-prompt "Install the sample files?")

file(REMOVE_RECURSE ${OUT}/lzx_payload)
file(COPY ${OUT}/payload/ DESTINATION ${OUT}/lzx_payload)
file(COPY_FILE ${STUB} ${OUT}/lzx_payload/program.bin)
string(REPEAT "a line of text in the LZX package, " 6000 text)
file(WRITE ${OUT}/lzx_payload/docs/long.txt "${text}")
pack(--dir ${OUT}/lzx_payload -o ${OUT}/lzx21.exe --compress lzx)
pack(--dir ${OUT}/lzx_payload -o ${OUT}/lzx15.exe --compress lzx:15)
pack(--dir ${OUT}/lzx_payload -o ${OUT}/lzx21-fast.exe --level fast)
pack(--dir ${OUT}/lzx_payload -o ${OUT}/lzx21-best.exe --level best)

file(MAKE_DIRECTORY ${OUT}/cancel_payload)
file(WRITE ${OUT}/cancel_payload/first.txt "written before the cancel\n")
file(COPY_FILE ${SETUP} ${OUT}/cancel_payload/setup.exe)
# A sparse file: nothing is written here, vuvpack reads zeros.
execute_process(COMMAND truncate -s 256M ${OUT}/cancel_payload/zeros.bin RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "truncate: ${result}")
endif()
pack(--dir ${OUT}/cancel_payload -o ${OUT}/cancel.exe --compress mszip)
file(REMOVE_RECURSE ${OUT}/cancel_payload)
