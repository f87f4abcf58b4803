# What `cmake --install` puts where, and the Debian package that scripts/package makes of it with
# CPack. Paths are relative to the prefix, /usr in the package.

# The release the program reports ("2.1.1a-linux" carries it) and the package's version.
set(CORVANE_RELEASE "${PROJECT_VERSION}a")
# A package for another cloud must replace the standard one of the same release, and a later
# build for that cloud (new password, new host) the earlier one: apt installs only a newer
# version. So its version adds a local suffix with the build's time (UTC; SOURCE_DATE_EPOCH
# fixes it for reproducible builds), which sorts after the bare release and before the next one.
set(CORVANE_PACKAGE_VERSION "${CORVANE_RELEASE}")
if(CORVANE_OTHER_CLOUD)
    string(TIMESTAMP _built "%Y%m%d%H%M%S" UTC)
    string(APPEND CORVANE_PACKAGE_VERSION "+cloud${_built}")
endif()

# The program lives in a directory of its own; users start it through the launcher, which gives
# it a working directory with the icons, snippets and plug-ins it reads.
install(TARGETS corvane corvane_http RUNTIME DESTINATION lib/corvane)
install(PROGRAMS packaging/corvane DESTINATION bin)
install(TARGETS corvane_admin RUNTIME DESTINATION bin)
install(DIRECTORY icons/ DESTINATION share/corvane/icons FILES_MATCHING PATTERN "*.png")

# The desktop's menu entry and its icon in every size drawn for it.
install(FILES packaging/corvane.desktop DESTINATION share/applications)
foreach(_size 16 32 48 64 128 256)
    install(FILES resources/icon${_size}.png
            DESTINATION share/icons/hicolor/${_size}x${_size}/apps RENAME corvane.png)
endforeach()

# The CA files that the cloud's certificates are verified with, when the build names them.
if(NOT CORVANE_DB_CA STREQUAL "")
    install(FILES ${CORVANE_DB_CA} DESTINATION share/corvane RENAME cloud-ca.pem)
endif()
if(NOT CORVANE_HTTP_CA STREQUAL "")
    install(FILES ${CORVANE_HTTP_CA} DESTINATION share/corvane RENAME web-ca.pem)
endif()

# The kit for running the cloud: the same schema and moderators' account that db/ loads.
install(FILES server/README.md db/schema.sql db/admin.sql DESTINATION share/corvane/server)
install(FILES server/nginx/corvane DESTINATION share/corvane/server/nginx)
install(FILES server/mariadb/60-corvane-tls.cnf DESTINATION share/corvane/server/mariadb)
install(PROGRAMS server/make-certificates DESTINATION share/corvane/server)
install(DIRECTORY server/www/ DESTINATION share/corvane/server/www)
# The source the package was built from, from which a team builds its own (scripts/package
# writes the archive; other builds have none).
install(FILES ${CMAKE_BINARY_DIR}/corvane-source.tar.gz DESTINATION share/corvane/server OPTIONAL)
# A Galera cluster behind HAProxy: each node's settings and health check, HAProxy's settings.
install(FILES server/galera/60-corvane-galera.cnf server/galera/corvane-node-check.service
        DESTINATION share/corvane/server/galera)
install(PROGRAMS server/galera/corvane-node-check DESTINATION share/corvane/server/galera)
install(FILES server/haproxy/haproxy.cfg DESTINATION share/corvane/server/haproxy)

# Documents Debian asks every package to carry, compressed as it expects: the change log, and a
# manual page for each command.
set(_compressed_docs)
foreach(_doc changelog corvane.1 corvane-admin.1)
    set(_gz ${CMAKE_BINARY_DIR}/packaging/${_doc}.gz)
    add_custom_command(
        OUTPUT ${_gz}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
        COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${CMAKE_SOURCE_DIR}/packaging/${_doc} ${_gz}
        DEPENDS ${CMAKE_SOURCE_DIR}/packaging/${_doc}
        VERBATIM)
    list(APPEND _compressed_docs ${_gz})
endforeach()
add_custom_target(corvane_docs ALL DEPENDS ${_compressed_docs})
install(FILES packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION share/doc/corvane)
install(FILES ${CMAKE_BINARY_DIR}/packaging/corvane.1.gz
              ${CMAKE_BINARY_DIR}/packaging/corvane-admin.1.gz
        DESTINATION share/man/man1)

# For plug-in authors: the header, and the sample plug-ins with their sources. The launcher puts
# the built samples into a new working directory's plugins/.
install(FILES include/corvane_plugin.h DESTINATION include)
install(TARGETS markdown_export html_export LIBRARY DESTINATION lib/corvane/plugins)
install(FILES examples/plugins/markdown_export.c examples/plugins/html_export.c
        DESTINATION share/doc/corvane/examples/plugins)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VERSION ${CORVANE_PACKAGE_VERSION})
set(CPACK_PACKAGE_CONTACT "Corvane developers <developers@corvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keep, edit and share source-code snippets")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Corvane keeps source-code snippets as plain files and in a shared cloud\n"
    "database, where users keep private snippets, publish them for everybody and\n"
    "search what others published. It edits snippets with syntax colouring, keeps a\n"
    "log of the clipboard and runs plug-ins.\n"
    "\n"
    "The package also carries corvane-admin, the moderation tool that approves\n"
    "shared snippets, and the kit for running a cloud of one's own.")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from the libraries the binaries link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "mariadb-server, nginx-light | nginx")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
