# cmake "-DTOOL=[emulator;]tarnwick-badge" -DICON=default_badge.ico -DOUT=folder -P check_tool.cmake
# Both builds must write the same default icon, whose SHA-256 is checked in here once. The tool
# exits with 0 when it wrote the file, 1 when it cannot write it and 2 for bad arguments.
file(SHA256 "${ICON}" actual)
if(NOT actual STREQUAL "cf2f47d98d5057d4f7cc5b1159b3e97e15244af1cfca5db33e8c1bf67225af1d")
  message(SEND_ERROR "SHA-256 of ${ICON} is ${actual}")
endif()

file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
foreach(case IN ITEMS "0 custom.ico --color 0xFF0000FF --no-outline --sizes 256,1"
                      "1 no-such-folder/x.ico" "2 --no-outline" "2 x.ico --sizes 0"
                      "2 x.ico --sizes 257" "2 x.ico --sizes 16,,20" "2 x.ico --color 0xGG"
                      "2 x.ico --color 0x100000000" "2 x.ico --large" "2 x.ico --color"
                      "2 a.ico b.ico")
  separate_arguments(arguments UNIX_COMMAND "${case}")
  list(POP_FRONT arguments expected)
  execute_process(COMMAND ${TOOL} ${arguments} WORKING_DIRECTORY "${OUT}" RESULT_VARIABLE code
                  ERROR_VARIABLE errors)
  if(NOT code STREQUAL expected)
    message(SEND_ERROR "exit ${code}, not as expected in \"${case}\"\n${errors}")
  endif()
endforeach()
