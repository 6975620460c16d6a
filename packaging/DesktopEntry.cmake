# Writes the tool folder's desktop entry, tessaro.desktop, from the template TESSARO_DESKTOP_TEMPLATE, naming the
# folder's tessaro and tessaro.svg by absolute path (a desktop entry knows no other way to find them).
# Runs at install time for the installed folder, and as CPack's pre-build script for the archive's staged tree,
# then naming the place the archive is meant to be unpacked in.

# One argument of an Exec key: quoted when it holds a reserved character, "%" doubled, and every backslash of
# the result doubled again as any string value of a desktop entry.
function(tessaro_exec_argument text out)
    string(REPLACE "%" "%%" text "${text}")
    if(text MATCHES "[ \t\n\"'\\><~|&;$*?#()`]")
        foreach(special "\\" "\"" "`" "$")
            string(REPLACE "${special}" "\\${special}" text "${text}")
        endforeach()
        set(text "\"${text}\"")
    endif()
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(tessaro_string_value text out)
    string(REPLACE "\\" "\\\\" text "${text}")
    string(REPLACE "\n" "\\n" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

if(CPACK_TEMPORARY_INSTALL_DIRECTORY)
    set(TESSARO_DESKTOP_TEMPLATE "${CPACK_TESSARO_DESKTOP_TEMPLATE}")
    set(destination "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
    set(folder "${CPACK_TESSARO_DESKTOP_FOLDER}")
else()
    get_filename_component(folder "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
    set(destination "$ENV{DESTDIR}${folder}")
endif()
set(entry "${destination}/tessaro.desktop")

tessaro_exec_argument("${folder}/tessaro" exec)
tessaro_string_value("${exec}" TESSARO_DESKTOP_EXEC)
tessaro_string_value("${folder}/tessaro.svg" TESSARO_DESKTOP_ICON)
message(STATUS "Installing: ${entry}")
# Executable, so that a file manager offers to start it from the folder.
configure_file("${TESSARO_DESKTOP_TEMPLATE}" "${entry}" @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
               WORLD_EXECUTE)
if(NOT CPACK_TEMPORARY_INSTALL_DIRECTORY)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${entry}")
endif()
