# Runs brimwell-inspect (under the emulator when cross-built) and checks what it prints.
# -DTOOL=executable -DEMULATOR=runner|args (may be empty) -DDATA=folder of inputs
string(REPLACE "|" ";" emulator "${EMULATOR}")

# Wine takes the ANSI code page from the locale: 1252 for undeclared legacy replies, as the
# native build reads them.
function(run_tool result out err)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 ${emulator} ${TOOL} ${ARGN}
    RESULT_VARIABLE code OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr)
  string(REPLACE "\r" "" stdout "${stdout}")
  string(REPLACE "\r" "" stderr "${stderr}")
  set(${result} "${code}" PARENT_SCOPE)
  set(${out} "${stdout}" PARENT_SCOPE)
  set(${err} "${stderr}" PARENT_SCOPE)
endfunction()

function(expect_equal what expected actual)
  if(NOT "${expected}" STREQUAL "${actual}")
    message(FATAL_ERROR "${what}:\nexpected:\n${expected}\nactual:\n${actual}")
  endif()
endfunction()

set(cache [[{"sites":{"example.com":["7","9"],"shop.test":["7"]},"data":{"7":{"datasets":"a,b","x":"say \"hi\" </script>"},"9":{}}}]])

run_tool(code out err --url "http://user@www.example.com:8080/#shop.test" ${DATA}/reply.xml)
expect_equal("exit code of a match" 0 "${code}")
expect_equal("output of a match" "${cache}
host: www.example.com
matched: yes
rule ids: 7 9
configuration: var ZLVX_config ={\"rids\":[\"7\",\"9\"],\"7:datasets\":\"a,b\",\"7:x\":\"say \\\"hi\\\" \\u003c/script>\"};
" "${out}")

# The cache text it printed reads back to the same model, here from standard input.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/inspect_cache.json "${cache}")
execute_process(COMMAND ${emulator} ${TOOL} --url http://evil.test/#example.com
  INPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/inspect_cache.json
  RESULT_VARIABLE code OUTPUT_VARIABLE out)
string(REPLACE "\r" "" out "${out}")
expect_equal("exit code without a match" 0 "${code}")
expect_equal("output without a match" "${cache}
host: evil.test
matched: no
rule ids:
configuration: none (nothing is put into the page)
" "${out}")

run_tool(code out err --url https://shop.test/ --template "cfg(\${1}) // \${1}"
  ${CMAKE_CURRENT_BINARY_DIR}/inspect_cache.json)
expect_equal("template output" "${cache}
host: shop.test
matched: yes
rule ids: 7
configuration: cfg(\"rids\":[\"7\"],\"7:datasets\":\"a,b\",\"7:x\":\"say \\\"hi\\\" \\u003c/script>\") // \${1}
" "${out}")

# Text beyond ASCII, in the argument as in the reply: UTF-8 in, UTF-8 out, whatever the reply's
# encoding.
set(international [[{"sites":{"ソフト.example":["表示"]},"data":{"表示":{"Café «Été» — 10€":"😀 ソフト"}}}]])
file(COPY_FILE ${DATA}/international_reply.xml ${CMAKE_CURRENT_BINARY_DIR}/表示.xml)
foreach(reply ${DATA}/international_reply.xml ${DATA}/international_reply_utf16.xml
              ${CMAKE_CURRENT_BINARY_DIR}/表示.xml)
  run_tool(code out err --url "http://www.ソフト.example/" ${reply})
  expect_equal("exit code of ${reply}" 0 "${code}")
  expect_equal("output of ${reply}" "${international}
host: www.ソフト.example
matched: yes
rule ids: 表示
configuration: var ZLVX_config ={\"rids\":[\"表示\"],\"表示:Café «Été» — 10€\":\"😀 ソフト\"};
" "${out}")
endforeach()

run_tool(code out err ${DATA}/legacy_reply.xml)
expect_equal("output of an undeclared Windows-1252 reply"
  "{\"sites\":{\"legacy.example\":[\"5\"]},\"data\":{\"5\":{\"t\":\"Café «Été» — 10€\"}}}
" "${out}")

foreach(bad cut_reply.xml missing.xml)
  run_tool(code out err ${DATA}/${bad})
  if(code EQUAL 0 OR NOT out STREQUAL "" OR NOT err MATCHES "^brimwell-inspect: [^\n]+\n$")
    message(FATAL_ERROR "${bad}: exit ${code}, stdout '${out}', stderr '${err}'")
  endif()
endforeach()
