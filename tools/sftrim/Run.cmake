# Runs sftrim over the generated pieces. A missing or unreadable system soundfont is not
# a build failure: the tool leaves no font behind and the game falls back to the system's.
# The name is the one the game looks for (kGameSoundFontName).
file(GLOB pieces ${DATA}/*.mid)
execute_process(COMMAND ${TRIM} ${DATA}/Instrumentos.sf2 ${pieces} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(WARNING "No soundfont of the game's own was written; music uses the system soundfont")
endif()
