# Warnings for our own targets; third-party headers come in as SYSTEM includes.
# FERNQUILL_WERROR turns them into errors (CI builds with it on, so a warning
# never gets in unnoticed); it stays off by default so that a newer compiler's
# new warnings never stop someone else's build.
option(FERNQUILL_WERROR "Treat compiler warnings as errors" OFF)

function(fernquill_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(FERNQUILL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  target_include_directories(${target} PUBLIC ${FERNQUILL_ROOT})
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endfunction()
