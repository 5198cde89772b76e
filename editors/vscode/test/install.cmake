# Puts the grammar test into the build folder with the packages it runs on, as
# package-lock.json pins them: 'npm ci' runs again only when the lock has changed since.
#   cmake -DSOURCE=editors/vscode/test -DDESTINATION=DIR -DNPM=npm -P install.cmake
file(MAKE_DIRECTORY ${DESTINATION})
foreach(name package.json package-lock.json grammar_test.mjs)
  configure_file(${SOURCE}/${name} ${DESTINATION}/${name} COPYONLY)
endforeach()
file(READ ${SOURCE}/package-lock.json wanted)
set(installed "")
if(EXISTS ${DESTINATION}/node_modules/installed-lock.json)
  file(READ ${DESTINATION}/node_modules/installed-lock.json installed)
endif()
if(NOT installed STREQUAL wanted)
  execute_process(COMMAND ${NPM} ci --ignore-scripts --no-audit --no-fund
                  WORKING_DIRECTORY ${DESTINATION} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "npm ci failed in ${DESTINATION}")
  endif()
  configure_file(${SOURCE}/package-lock.json ${DESTINATION}/node_modules/installed-lock.json
                 COPYONLY)
endif()
