# Where `make install` puts the programs and their files, and the Debian package that
# `make package` builds from the same rules (CPack, DEB generator).
#
#   bin/korvanel, bin/korvanel-check             the proxy and the command-line checker
#   lib/korvanel/korvanel-window                 the window, which korvanel starts
#   lib/korvanel/cgi-bin/korvanel-checker        the checker CGI, for a web server to run
#   share/applications/korvanel.desktop          the launcher (starts `korvanel --desktop`)
#   share/icons/hicolor/NxN/apps/korvanel.png    the program icon in the desktop's sizes
#   share/doc/korvanel/                          the documentation page, copyright, changelog
#   share/man/man1/                              the manual pages of the two programs
#
# Icons and the documentation page are installed when they are in the tree, so that the
# build works without them.

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(KORVANEL_CGI_DIR lib/korvanel/cgi-bin)
set(KORVANEL_DOC_DIR share/doc/korvanel)
set(KORVANEL_ICON_SIZES 16 22 24 32 48 64 128 256)

install(TARGETS korvanel RUNTIME DESTINATION bin)
if(TARGET korvanel-window)
    install(TARGETS korvanel-window RUNTIME DESTINATION lib/korvanel)
endif()
if(TARGET korvanel-check)
    install(TARGETS korvanel-check RUNTIME DESTINATION bin)
endif()
if(TARGET korvanel-checker)
    install(TARGETS korvanel-checker RUNTIME DESTINATION ${KORVANEL_CGI_DIR})
endif()

install(FILES resources/korvanel.desktop DESTINATION share/applications)
# Globbed at every build, so that icons and pages added later are picked up without a
# new configure by hand.
foreach(size ${KORVANEL_ICON_SIZES})
    file(GLOB icon CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/icons/korvanel-${size}.png)
    if(icon)
        install(FILES ${icon} DESTINATION share/icons/hicolor/${size}x${size}/apps
                RENAME korvanel.png)
    endif()
endforeach()
file(GLOB KORVANEL_DOC_PAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/doc/*)
if(KORVANEL_DOC_PAGES)
    install(DIRECTORY resources/doc/ DESTINATION ${KORVANEL_DOC_DIR})
endif()

# Debian keeps change logs and manual pages gzipped at the highest compression and without
# a time stamp (gzip -n), so that the same sources give the same package.
function(korvanel_gzip source output)
    add_custom_command(OUTPUT ${output}
        COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/${source} > ${output}
        DEPENDS ${CMAKE_SOURCE_DIR}/${source} VERBATIM)
endfunction()
set(KORVANEL_GZIPPED ${CMAKE_BINARY_DIR}/gzipped)
file(MAKE_DIRECTORY ${KORVANEL_GZIPPED})
korvanel_gzip(packaging/changelog ${KORVANEL_GZIPPED}/changelog.Debian.gz)
korvanel_gzip(packaging/korvanel.1 ${KORVANEL_GZIPPED}/korvanel.1.gz)
korvanel_gzip(packaging/korvanel-check.1 ${KORVANEL_GZIPPED}/korvanel-check.1.gz)
add_custom_target(korvanel_gzipped ALL DEPENDS ${KORVANEL_GZIPPED}/changelog.Debian.gz
    ${KORVANEL_GZIPPED}/korvanel.1.gz ${KORVANEL_GZIPPED}/korvanel-check.1.gz)
install(FILES packaging/copyright ${KORVANEL_GZIPPED}/changelog.Debian.gz
        DESTINATION ${KORVANEL_DOC_DIR})
install(FILES ${KORVANEL_GZIPPED}/korvanel.1.gz ${KORVANEL_GZIPPED}/korvanel-check.1.gz
        DESTINATION share/man/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvanel)
set(CPACK_PACKAGE_VENDOR "KORVANEL developers")
set(CPACK_PACKAGE_CONTACT "KORVANEL developers <maintainers@korvanel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "HTTP proxy for one user's browsers, with rewrites")
# One string: the lines of the long description, each under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION "\
KORVANEL is an HTTP proxy for the browsers of one user. It forwards each
request to the origin server or through an upstream proxy picked from a list,
and rewrites what passes: User-Agent replacement, cookie removal both ways,
header rules, forced HTTP/1.0, and an HTML tag filter that turns chosen tags
into comments. It keeps five logs, checks the upstream proxies for liveness,
speed and anonymity, and can point Firefox or Opera at itself.
Its texts are Japanese.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link (libc, MiniUPnPc, later Qt) come from dpkg-shlibdeps and
# are added to these: certutil, which puts the user's CA into the browsers' databases.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libnss3-tools)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Without a CJK font the window's Japanese texts are boxes.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-noto-cjk)
include(CPack)
