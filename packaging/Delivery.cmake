# The installed tree is a portable tool folder: the tool's folder is the folder of its executable, so the
# executables stand at the top, beside MASTER, PROJECTS and the example project. Tests and benchmarks stay out.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
    set(CMAKE_INSTALL_PREFIX /opt/tessaro CACHE PATH "The tool folder to install into" FORCE)
endif()

install(TARGETS tessaro-cli RUNTIME DESTINATION .)
install(TARGETS tessaro_workbook LIBRARY DESTINATION . RUNTIME DESTINATION .)
# Only the documents, the signal databases and the desk test's values: an image or an export built in the examples
# folder is no part of them.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION PROJECTS
        FILES_MATCHING PATTERN "*.xml" PATTERN "*.dbc" PATTERN "values.csv" PATTERN "bin" EXCLUDE)
install(DIRECTORY DESTINATION MASTER)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs DESTINATION .)

set(TESSARO_DESKTOP_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/tessaro.desktop.in)
if(TESSARO_BUILD_GUI)
    install(TARGETS tessaro RUNTIME DESTINATION .)
    install(FILES ${PROJECT_SOURCE_DIR}/src/gui/app/icons/tessaro.svg DESTINATION .)
    # The desktop entry names the folder it is installed in, which is known only when installing.
    install(CODE "set(TESSARO_DESKTOP_TEMPLATE \"${TESSARO_DESKTOP_TEMPLATE}\")")
    install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/DesktopEntry.cmake)
    set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DesktopEntry.cmake)
endif()

# `make package`: a TGZ of the same tree. Its desktop entry names the archive's folder unpacked into /opt.
set(CPACK_GENERATOR TGZ)
set(CPACK_PACKAGE_NAME tessaro)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configuration tool for the DO48213 J1939 to Modbus RTU gateway")
set(CPACK_PACKAGE_FILE_NAME "tessaro-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}")
set(CPACK_TESSARO_DESKTOP_TEMPLATE ${TESSARO_DESKTOP_TEMPLATE})
set(CPACK_TESSARO_DESKTOP_FOLDER "/opt/${CPACK_PACKAGE_FILE_NAME}")
include(CPack)
