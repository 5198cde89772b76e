# Puts a Node.js test into the build folder with the packages it runs on, as its
# package-lock.json pins them: 'npm ci' runs again only when the lock has changed since.
#   cmake -DSOURCE=DIR -DDESTINATION=DIR -DNPM=npm -DSCRIPT=test.mjs -P npm_install.cmake
file(MAKE_DIRECTORY ${DESTINATION})
foreach(name package.json package-lock.json ${SCRIPT})
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
