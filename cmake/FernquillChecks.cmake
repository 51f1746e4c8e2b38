# Targets for the checks that keep the sources in order; each calls the script
# that CI (scripts/test.sh) runs, so both give the same verdict.
add_custom_target(check-format
  COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/check-format.sh
  COMMENT "Checking the layout of every tracked C++ source against .clang-format"
  USES_TERMINAL)
add_custom_target(format
  COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/check-format.sh --fix
  COMMENT "Formatting every tracked C++ source with .clang-format"
  USES_TERMINAL)
add_custom_target(tidy
  COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/tidy.sh ${CMAKE_BINARY_DIR}
  COMMENT "Running clang-tidy over the engine"
  USES_TERMINAL)
add_custom_target(check-layers
  COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/check-layers.sh
  COMMENT "Checking that engine includes point down the folder ladder"
  USES_TERMINAL)
