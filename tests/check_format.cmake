# Fails when any C or C++ source of the project differs from what clang-format makes of it.
file(GLOB_RECURSE sources RELATIVE ${ROOT}
  ${ROOT}/app/*.cpp ${ROOT}/app/*.h ${ROOT}/instrument/*.cpp ${ROOT}/instrument/*.h
  ${ROOT}/link/*.cpp ${ROOT}/link/*.h ${ROOT}/driver/*.cpp ${ROOT}/driver/*.h
  ${ROOT}/emulator/*.cpp ${ROOT}/emulator/*.h ${ROOT}/tests/*.cpp ${ROOT}/tests/*.h
  ${ROOT}/emulator/*.c ${ROOT}/fuzz/*.cpp ${ROOT}/bench/*.cpp)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${sources}
  WORKING_DIRECTORY ${ROOT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "clang-format finds changes to make")
endif()
