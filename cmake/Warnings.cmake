# Warnings for our own targets only; third-party headers come in as SYSTEM.
function(kestrum_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow=local)
  if(KESTRUM_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
