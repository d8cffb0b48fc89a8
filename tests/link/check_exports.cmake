# Runs nm -D --defined-only on the shared library and fails unless the
# dynamic symbols it defines are exactly the seven exported functions.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(names)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* " "" name "${line}")
  list(APPEND names ${name})
endforeach()
list(SORT names)
set(expected ClearDov_Oz_Er_Count ConnectDov_Oz_Er DisConnectDov_Oz_Er
    GetDov_Oz_Er_Record GetDov_Oz_Er_State GetDov_Oz_Er_Ver GetLastErrorCode)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "defined dynamic symbols:\n${listing}\nexpected exactly: ${expected}")
endif()
message(STATUS "exports: ${names}")
