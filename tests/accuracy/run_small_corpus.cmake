# Writes a small seeded corpus and runs both accuracy protocols on it with
# the limits the algorithm reaches there. Variables: WRITER, ACCURACY, OUT.
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${WRITER} --out ${OUT} --fingers 6 --impressions 8 --seed 40
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "corpus writer failed: ${rc}")
endif()
# Seed 40 gives EER 11.90 % and FMR 0 at the threshold (FVC), FRR 0 and FAR 0
# with 5 enrolled impressions of 3 fingers (product).
foreach(run "fvc;--max-eer;15;--max-fmr;0" "product;--enrol;5;--max-frr;0;--max-far;0")
  list(GET run 0 protocol)
  list(SUBLIST run 1 -1 limits)
  execute_process(COMMAND ${ACCURACY} --protocol ${protocol} ${OUT} ${limits}
                  OUTPUT_FILE ${OUT}/${protocol}.csv ERROR_VARIABLE figures RESULT_VARIABLE rc)
  message("${figures}")
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "zq_accuracy --protocol ${protocol} failed: ${rc}")
  endif()
endforeach()
