# The Windows build's test programs run under Wine through scripts/wine-run:
# each run in a private Wine prefix copied from a template made once in the
# build folder.
set(TARVEX_WINE_TEMPLATE ${CMAKE_BINARY_DIR}/wine/template CACHE PATH
    "Template Wine prefix the Windows tests copy")
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env WINE_RUN_TEMPLATE=${TARVEX_WINE_TEMPLATE}
    ${PROJECT_SOURCE_DIR}/scripts/wine-run)
