# Installs the build into a scratch prefix and checks what the desktop needs of it: the
# program, a valid desktop entry for the document type, the type itself and the icon.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()

set(entry "${PREFIX}/share/applications/com.orlanvale.Pintora.desktop")
foreach(path bin/pintora share/mime/packages/com.orlanvale.Pintora.xml
    share/icons/hicolor/scalable/apps/com.orlanvale.Pintora.svg)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()

execute_process(COMMAND desktop-file-validate "${entry}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the desktop entry is not valid")
endif()
file(STRINGS "${entry}" mime_line REGEX "^MimeType=")
if(NOT mime_line MATCHES "^MimeType=application/x-pintora")
  message(FATAL_ERROR "the desktop entry does not open documents: ${mime_line}")
endif()

execute_process(COMMAND update-mime-database "${PREFIX}/share/mime" RESULT_VARIABLE result)
file(STRINGS "${PREFIX}/share/mime/globs2" globs REGEX "x-pintora")
if(NOT result EQUAL 0 OR NOT globs MATCHES "application/x-pintora:\\*\\.pintora")
  message(FATAL_ERROR "*.pintora is not recognised as a document: ${globs}")
endif()
