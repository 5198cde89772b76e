# The release's tests: its helpers; scripts/release.sh run twice and compared, byte for byte;
# and the archives of the first run tried as their users would, the Windows one under Wine.
# The twice-made release builds both programs for both platforms from nothing, twice: it takes
# long, so the sanitizer build leaves these out, as they test no code of the programs.
set(release_scripts ${PROJECT_SOURCE_DIR}/scripts/release)
set(release_work ${CMAKE_BINARY_DIR}/release)
add_test(NAME Release.Tools
         COMMAND python3 ${release_scripts}/release_tools_test.py ${PROJECT_SOURCE_DIR})
add_test(NAME Release.Reproducible
         COMMAND bash ${release_scripts}/reproducible.sh ${PROJECT_SOURCE_DIR} ${release_work}/twice)
# The longest test by far: started first, so that the others run beside it.
set_tests_properties(Release.Reproducible PROPERTIES FIXTURES_SETUP release_dist SKIP_RETURN_CODE 77
                                                      TIMEOUT 3600 COST 10000)
foreach(platform linux windows)
  if(platform STREQUAL windows)
    set(name Release.WineSmoke)
  else()
    set(name Release.LinuxSmoke)
  endif()
  add_test(NAME ${name}
           COMMAND bash ${release_scripts}/smoke.sh ${platform} ${release_work}/twice/a/dist
                   $<TARGET_FILE:installer> ${release_work}/smoke-${platform})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED release_dist SKIP_RETURN_CODE 77
                                          TIMEOUT 900 RESOURCE_LOCK x_display)
endforeach()
if(WINDOWS_BUILD_DIR)
  set_tests_properties(Release.WineSmoke PROPERTIES
                       ENVIRONMENT "WINEPREFIX=${WINDOWS_BUILD_DIR}/wineprefix")
endif()
