# Bundles the editor page with esbuild: cmake -DWEB_DIR=... -DOUT_DIR=... -P bundle.cmake
# Runs at build time, so a checkout without node_modules still configures and the build stops
# here with a message that says what to do.
set(esbuild "${WEB_DIR}/node_modules/.bin/esbuild")
if(NOT EXISTS "${esbuild}")
    message(FATAL_ERROR
        "The editor page cannot be built: ${WEB_DIR}/node_modules is missing or incomplete.\n"
        "Run scripts/setup (it runs `npm ci` in CodeMirror/web), then build again.")
endif()
file(MAKE_DIRECTORY "${OUT_DIR}")
execute_process(
    COMMAND "${esbuild}" "${WEB_DIR}/src/editor.js" --bundle --minify --format=iife
        --target=chrome102 --log-level=warning "--outfile=${OUT_DIR}/editor.js"
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "esbuild failed to bundle the editor page (${result})")
endif()
foreach(file index.html page.css)
    file(COPY_FILE "${WEB_DIR}/src/${file}" "${OUT_DIR}/${file}" ONLY_IF_DIFFERENT)
endforeach()
