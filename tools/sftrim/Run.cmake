# Runs sftrim over the generated pieces: the game's own soundfont for them all, and one for
# each piece alone beside it. A missing or unreadable system soundfont is not a build
# failure: the tool leaves no font behind and the game falls back to the system's. The
# names are the ones the game looks for (kGameSoundFontName, PieceSoundFontName); fonts
# cut for pieces as they were before go first.
file(GLOB pieces ${DATA}/*.mid)
file(GLOB earlier ${DATA}/Instrumentos_*.sf2)
if(earlier)
  file(REMOVE ${earlier})
endif()
execute_process(COMMAND ${TRIM} ${DATA}/Instrumentos.sf2 ${pieces} --per-piece
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(WARNING "Not every soundfont of the game's own was written; music may use the whole or the system soundfont")
endif()
