# The message generator's checks, run as `cmake -DMSGGEN=... -DWORK=... -P`:
# good sources give a table and a STRINGTABLE; every fault stops the generator
# with a message naming the line, and nothing is written.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/en.txt "# English\n100\tConnection to %1 failed: %2\n101\tDone.\n102\tLine\\none \\\\ \"q\"\n")

function(generate name content expect_ok expect_text)
  file(WRITE ${WORK}/${name}.txt "${content}")
  file(REMOVE ${WORK}/${name}.cpp ${WORK}/${name}.rc)
  execute_process(COMMAND ${MSGGEN} ${WORK}/${name}.txt --english ${WORK}/en.txt
                          --table ${WORK}/${name}.cpp --rc ${WORK}/${name}.rc
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(expect_ok AND NOT rc EQUAL 0)
    message(FATAL_ERROR "${name}: refused: ${err}")
  elseif(NOT expect_ok)
    if(rc EQUAL 0)
      message(FATAL_ERROR "${name}: accepted, but should be refused")
    endif()
    if(EXISTS ${WORK}/${name}.cpp OR EXISTS ${WORK}/${name}.rc)
      message(FATAL_ERROR "${name}: refused, but wrote output")
    endif()
  endif()
  if(NOT err MATCHES "${expect_text}")
    message(FATAL_ERROR "${name}: expected \"${expect_text}\" in: ${err}")
  endif()
endfunction()

# A translation may reorder the markers; text and escapes reach both outputs.
generate(good "100\tVerbindung: %2 bei %1\n101\tFertig.\n102\tZeile\\neins \\\\ \"q\"\n" TRUE "")
file(READ ${WORK}/good.cpp table)
file(READ ${WORK}/good.rc rc)
foreach(want "{100u, \"Verbindung: %2 bei %1\"}" "{102u, \"Zeile\\012eins \\\\ \\\"q\\\"\"}"
             "oxStringTable(uint32_t id)")
  string(FIND "${table}" "${want}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "table lacks ${want}:\n${table}")
  endif()
endforeach()
foreach(want "STRINGTABLE" "102, \"Zeile\\neins \\\\ \"\"q\"\"\"")
  string(FIND "${rc}" "${want}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "rc lacks ${want}:\n${rc}")
  endif()
endforeach()

generate(lost_marker "100\tVerbindung zu %1 gescheitert\n101\tFertig.\n102\tZeile\n" FALSE
         "lost_marker.txt:1: error: message 100 has the markers %1 where the English template")
generate(extra_marker "100\t%1 %2 %3\n101\tFertig.\n102\tZeile\n" FALSE "markers %1 %2 %3")
generate(twice "100\t%1 %1 %2\n101\tFertig.\n102\tZeile\n" FALSE "markers %1 %1 %2")
generate(zero_padded "100\t%01 %2\n101\tFertig.\n102\tZeile\n" FALSE "markers %01 %2")
generate(unknown_id "100\t%1 %2\n101\tFertig.\n102\tZeile\n103\tNeu\n" FALSE
         "message 103 is not in")
generate(missing_id "100\t%1 %2\n102\tZeile\n" FALSE "message 101 of .* is missing")
generate(duplicate "100\t%1 %2\n101\tA\n101\tB\n102\tZeile\n" FALSE
         "duplicate.txt:3: error: message 101 is already on line 2")
string(REPEAT "x" 257 long)
generate(too_long "100\t%1 %2\n101\t${long}\n102\tZeile\n" FALSE "257 bytes long")
generate(bad_escape "100\t%1 %2\n101\ta\\qb\n102\tZeile\n" FALSE "unknown escape")
generate(code_page "100\t%1 %2\n101\tΩ\n102\tZeile\n" FALSE "Windows-1252")
generate(no_id "100\t%1 %2\nabc\tx\n101\tA\n102\tZeile\n" FALSE "starts with its decimal id")
