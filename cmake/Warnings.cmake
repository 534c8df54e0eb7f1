# Warnings are errors in our own code; third-party headers come in as system headers.
# (-Wnull-dereference is left out: at -O2 it fires inside libstdc++ and Qt headers.)
function(qm_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wold-style-cast -Wcast-align -Woverloaded-virtual
                                           -Wimplicit-fallthrough -Werror)
endfunction()
