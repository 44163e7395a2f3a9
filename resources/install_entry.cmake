# Run by `cmake --install` (see CMakeLists.txt): the desktop entry needs the absolute path of the
# installed program and, for a per-user install, bin/ needs a link to it, and only the install
# step knows the prefix. Expects SENTRILO_DESKTOP_TEMPLATE to name sentrilo.desktop.in,
# SENTRILO_DESKTOP_ID the entry's name, and SENTRILO_SYSTEM_INSTALL to say whether the program
# went to bin/ itself.

function(sentrilo_desktop_exec path out_var)
    if(path MATCHES "\n")
        message(FATAL_ERROR "Cannot write a desktop entry for a prefix holding a line break: ${path}")
    endif()
    # A literal % would otherwise read as a field code.
    string(REPLACE "%" "%%" value "${path}")
    # Launchers split Exec= like a shell, so a path with anything unusual in it goes in double
    # quotes, where only these four characters need a backslash.
    if(value MATCHES "[^A-Za-z0-9/._+,=@:%-]")
        string(REPLACE "\\" "\\\\" value "${value}")
        string(REPLACE "\"" "\\\"" value "${value}")
        string(REPLACE "`" "\\`" value "${value}")
        string(REPLACE "$" "\\$" value "${value}")
        set(value "\"${value}\"")
    endif()
    # The key's value is itself an escaped string, so every backslash is written twice once more.
    string(REPLACE "\\" "\\\\" value "${value}")
    set(${out_var} "${value}" PARENT_SCOPE)
endfunction()

function(sentrilo_install_entry_and_link)
    # `cmake --install --prefix` hands the prefix on as typed; launchers need it absolute.
    get_filename_component(prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
    set(root "$ENV{DESTDIR}${prefix}")

    if(SENTRILO_SYSTEM_INSTALL)
        set(program "${prefix}/bin/sentrilo")
    else()
        set(program "${prefix}/opt/sentrilo/sentrilo")
    endif()
    sentrilo_desktop_exec("${program}" SENTRILO_EXEC)
    file(READ "${SENTRILO_DESKTOP_TEMPLATE}" entry)
    string(CONFIGURE "${entry}" entry @ONLY)
    set(desktop "${root}/share/applications/${SENTRILO_DESKTOP_ID}.desktop")
    message(STATUS "Installing: ${desktop}")
    file(MAKE_DIRECTORY "${root}/share/applications")
    file(WRITE "${desktop}" "${entry}")
    # Listed like the files CMake copies itself, so install_manifest.txt can drive an uninstall.
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${prefix}/share/applications/${SENTRILO_DESKTOP_ID}.desktop")

    if(NOT SENTRILO_SYSTEM_INSTALL)
        # Relative, so the tree still works when DESTDIR staging moves it or the prefix is relocated.
        set(link "${root}/bin/sentrilo")
        message(STATUS "Installing: ${link} -> ../opt/sentrilo/sentrilo")
        file(MAKE_DIRECTORY "${root}/bin")
        file(CREATE_LINK "../opt/sentrilo/sentrilo" "${link}" SYMBOLIC)
        list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${prefix}/bin/sentrilo")
    endif()
    set(CMAKE_INSTALL_MANIFEST_FILES ${CMAKE_INSTALL_MANIFEST_FILES} PARENT_SCOPE)
endfunction()

sentrilo_install_entry_and_link()
