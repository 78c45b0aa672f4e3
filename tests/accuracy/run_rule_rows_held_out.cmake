# The product protocol on a held-out corpus (seed 533, not one the rule rows
# were fitted on) at the driver's FW4843 set, with the chips and modes whose
# rescue lists, table 7 and full-homography false-accept lists run. The FRR
# limits are those the library reaches with the lists' given rows only, so a
# fitted row that costs a genuine acceptance fails the run; no impostor press
# may be accepted. Variables: WRITER, ACCURACY, OUT.
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${WRITER} --out ${OUT} --fingers 20 --impressions 12 --size 80x128 --seed 533
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "corpus writer failed: ${rc}")
endif()
# chip, mode, FRR (percent) with the given rows only: 10 fingers enrolled
# from 6 impressions, 60 genuine and 120 impostor presses.
foreach(run "9;2;1.67" "10;4;3.34" "14;5;0" "16;5;1.67")
  list(GET run 0 chip)
  list(GET run 1 mode)
  list(GET run 2 frr)
  execute_process(COMMAND ${ACCURACY} --protocol product ${OUT} --enrol 6 --fw4843 ${chip} ${mode}
                          --max-frr ${frr} --max-far 0
                  OUTPUT_FILE ${OUT}/product_${chip}_${mode}.csv ERROR_VARIABLE figures RESULT_VARIABLE rc)
  message("chip ${chip} mode ${mode}:\n${figures}")
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "zq_accuracy --protocol product --fw4843 ${chip} ${mode} failed: ${rc}")
  endif()
endforeach()
