# Warnings are errors on both toolchains. No contraction into fused multiply-add: the badge must be
# the same bytes from glibc on Linux and from the Windows runtime.
function(tarnwick_compile_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -ffp-contract=off)
  if(WIN32)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                 _WIN32_WINNT=0x0601)
  endif()
endfunction()

if(TARNWICK_SANITIZE AND NOT WIN32)
  add_compile_options(-fsanitize=${TARNWICK_SANITIZE} -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${TARNWICK_SANITIZE})
endif()

# Every test program runs natively, or under Wine through CMAKE_CROSSCOMPILING_EMULATOR.
# Test cases are listed when ctest starts (PRE_TEST), so building never needs Wine. PROPERTIES are
# further ctest properties of every case (a RESOURCE_LOCK for tests that share machine state).
function(tarnwick_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main)
  tarnwick_compile_options(${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 120 ${T_PROPERTIES})
endfunction()
