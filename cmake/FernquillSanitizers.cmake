# One sanitizer set per build tree: AddressSanitizer and UBSan (the test build),
# ThreadSanitizer (the scan and the recovery job run on threads of their own), or
# the fuzz instrumentation. TSan cannot share a process with ASan, hence the check.
if(FERNQUILL_TSAN AND (FERNQUILL_SANITIZE OR FERNQUILL_FUZZ))
  message(FATAL_ERROR "FERNQUILL_TSAN cannot be combined with FERNQUILL_SANITIZE or FERNQUILL_FUZZ")
endif()

if(FERNQUILL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(FERNQUILL_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(FERNQUILL_FUZZ)
  # Everything is instrumented for coverage; only the harnesses link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
