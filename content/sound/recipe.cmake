# Runs one sound recipe: cmake -DSOX=... -DOUT=... -DRATE=... -DCHANNELS=... -DEFFECTS=...
# -DWHERE=FILE:LINE -P recipe.cmake. A refusal by sox is reported at the recipe's line.
execute_process(
  COMMAND ${SOX} -R -D -n -r ${RATE} -c ${CHANNELS} -b 16 -e signed-integer ${OUT} ${EFFECTS}
  RESULT_VARIABLE status
  ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  file(REMOVE ${OUT})
  message(FATAL_ERROR "${WHERE}: sox refused the recipe: ${errors}")
endif()
