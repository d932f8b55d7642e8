# The signed package of the end-to-end tests, made at build time.
# Usage: cmake -DPAYLOAD=<payload folder with setup.exe> -DSTUB=<vuvuzu.exe>
#              -DVUVPACK=<vuvpack> -DOUT=<signed.exe> -P sign_package.cmake
#
# signed.exe: the payload with setup.exe run afterwards, extracted into "out"
#   beside the package without a dialog or a question, its CRC stored, then
#   signed by osslsigncode with a certificate and key made here by openssl
#   for this one signature and removed again (never kept, never committed).
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN}: ${result}\n${output}")
  endif()
endfunction()

set(work ${OUT}.signing)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
run(${VUVPACK} build --stub ${STUB} --dir ${PAYLOAD} -o ${work}/unsigned.exe --destination out
    --command setup.exe --no-dialog --overwrite-all --no-open-folder --crc)
run(openssl req -x509 -newkey rsa:2048 -nodes -keyout ${work}/key.pem -out ${work}/cert.pem -days 2
    -subj "/CN=Throwaway test signer")
file(REMOVE ${OUT})
run(osslsigncode sign -certs ${work}/cert.pem -key ${work}/key.pem -in ${work}/unsigned.exe -out ${OUT})
file(REMOVE_RECURSE ${work})
