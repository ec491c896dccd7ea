# Fails when the delivered library holds any of the simulator: no symbol of veska::sim in
# its dynamic or its full symbol table (the simulated twin must have them, or the check
# would find nothing anywhere).
function(sim_symbols library args out)
  execute_process(COMMAND nm ${args} -C ${library} OUTPUT_VARIABLE text ERROR_QUIET RESULT_VARIABLE rc)
  string(REGEX MATCHALL "veska::sim::[A-Za-z_]+" found "${text}")
  list(LENGTH found count)
  set(${out} ${count} PARENT_SCOPE)
endfunction()

sim_symbols(${LIBRARY} "-D" dynamic)
sim_symbols(${LIBRARY} "" full)
sim_symbols(${SIMULATED} "" twin)
if(NOT dynamic EQUAL 0 OR NOT full EQUAL 0)
  message(FATAL_ERROR "${LIBRARY}: ${dynamic} dynamic and ${full} other veska::sim symbols")
endif()
if(twin EQUAL 0)
  message(FATAL_ERROR "${SIMULATED} shows no veska::sim symbol: the check cannot see them")
endif()
message(STATUS "no simulator in ${LIBRARY}; ${twin} simulator symbols in its twin")
