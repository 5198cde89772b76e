# The message catalogue of scenario-tool, run as a script (cmake -P) with MODE:
#   update: po/scenario-tool.pot made again from the sources, and each po/<language>.po brought up
#           to it with msgmerge (a changed message turns fuzzy, a new one is untranslated);
#   check:  the same into BINARY_DIR, without touching the sources, failing when the committed
#           .pot is not what the sources give, or when a language has a message untranslated,
#           fuzzy or refused by msgfmt --check.
# SOURCE_DIR is the project's folder, BINARY_DIR a folder of the build for the check's files.
cmake_minimum_required(VERSION 3.16)
foreach(program xgettext msgmerge msgfmt)
  string(TOUPPER ${program} name)
  find_program(${name} ${program})
  if(NOT ${name})
    message(FATAL_ERROR "${program} not found (Debian package gettext)")
  endif()
endforeach()
# The tool's own files, and the shared and compiler files whose texts it shows (marked there
# with tr_mark and people_text).
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/tools/*.cpp ${SOURCE_DIR}/tools/*.h
     ${SOURCE_DIR}/common/*.cpp ${SOURCE_DIR}/compiler/*.cpp ${SOURCE_DIR}/compiler/*.h
     ${SOURCE_DIR}/compiler/*.def)
list(FILTER sources EXCLUDE REGEX "_test\\.cpp$|^tools/testing/")
list(SORT sources)
if(MODE STREQUAL "update")
  set(out ${SOURCE_DIR}/po)
else()
  set(out ${BINARY_DIR})
  file(MAKE_DIRECTORY ${out})
endif()
# Source files are named without line numbers, so the catalogue changes with the messages only.
execute_process(
  COMMAND ${XGETTEXT} --language=C++ --from-code=UTF-8 --keyword --keyword=tr --keyword=tr_n:1,2
          --keyword=tr_mark --keyword=people_text --add-comments=TRANSLATORS: --add-location=file
          --sort-by-file
          --package-name=scenario-tool --msgid-bugs-address= --no-wrap
          -o ${out}/scenario-tool.pot ${sources}
  WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "xgettext failed")
endif()
# The creation date changes on every run: it is no part of what is compared.
file(STRINGS ${out}/scenario-tool.pot made REGEX "^[^\"]|^\"[^P]|^\"P[^O]")
if(MODE STREQUAL "check")
  file(STRINGS ${SOURCE_DIR}/po/scenario-tool.pot committed REGEX "^[^\"]|^\"[^P]|^\"P[^O]")
  if(NOT made STREQUAL committed)
    message(SEND_ERROR "po/scenario-tool.pot is not what the sources give: "
                       "cmake --build BUILD --target po-update, then translate what is new")
  endif()
endif()
file(GLOB languages RELATIVE ${SOURCE_DIR}/po ${SOURCE_DIR}/po/*.po)
foreach(po ${languages})
  if(MODE STREQUAL "update")
    execute_process(COMMAND ${MSGMERGE} --quiet --update --backup=none --no-wrap
                            ${SOURCE_DIR}/po/${po} ${out}/scenario-tool.pot RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "msgmerge failed on po/${po}")
    endif()
    continue()
  endif()
  execute_process(COMMAND ${MSGMERGE} --quiet -o ${out}/${po} ${SOURCE_DIR}/po/${po}
                          ${out}/scenario-tool.pot RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "msgmerge failed on po/${po}")
  endif()
  execute_process(COMMAND ${MSGFMT} --check --statistics -o ${out}/${po}.mo ${out}/${po}
                  RESULT_VARIABLE failed ERROR_VARIABLE statistics)
  message(STATUS "po/${po}: ${statistics}")
  if(failed OR statistics MATCHES "fuzzy|untranslated")
    message(SEND_ERROR "po/${po}: every message needs its translation, none fuzzy")
  endif()
endforeach()
