# Runs brimwell-inspect's --fetch and --state from the command line of the native build: exit
# codes and the lines that say what happened, without a service. -DTOOL=executable

function(expect args code pattern)
  execute_process(COMMAND ${TOOL} ${args}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REPLACE "\r" "" out "${out}${err}")
  if(NOT result EQUAL code OR NOT out MATCHES "${pattern}")
    message(FATAL_ERROR "${args}: exit ${result} (expected ${code}), output:\n${out}")
  endif()
endfunction()

# Port 1 of the loopback address: nobody listens there.
expect("--fetch;--host;127.0.0.1;--port;1" 0
  "selector: 127\\.0\\.0\\.1 port 1 \\(from the options\\)\nconversation: refused or unreachable after [0-9]+ ms\n")
expect("--fetch;--host;localhost" 1 "\"localhost\" is not a numeric IPv4 or IPv6 address")
expect("--fetch;--port;65536" 2 "^usage: ")
expect("--state;cache.json" 2 "^usage: ")
expect("--state" 2 "--state reads the add-on's registry: Windows build only")
