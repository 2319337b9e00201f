# The tests written in Python, one ctest test per script: the Debian package built and
# installed into a scratch root, a real browser (headless Chromium) through the proxy, and
# the checks of the tree itself (the folders' layering, the formatting).
find_package(Python3 REQUIRED COMPONENTS Interpreter)

add_test(NAME tree.layering
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/check_layers.py --self-test
                 ${CMAKE_SOURCE_DIR})
set_tests_properties(tree.layering PROPERTIES LABELS tree TIMEOUT 60
    ENVIRONMENT "PYTHONDONTWRITEBYTECODE=1")
add_test(NAME tree.format COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check_format.sh
         ${CMAKE_SOURCE_DIR})
set_tests_properties(tree.format PROPERTIES LABELS tree TIMEOUT 120)

# A package is built from the release build only: a sanitizer build is no product.
if(NOT KORVANEL_SANITIZE)
    add_test(NAME package.debian_package
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/package/package_test.py)
    set_tests_properties(package.debian_package PROPERTIES LABELS package TIMEOUT 300
        ENVIRONMENT "KORVANEL_BUILD_DIR=${CMAKE_BINARY_DIR};KORVANEL_SOURCE_DIR=${CMAKE_SOURCE_DIR};PYTHONDONTWRITEBYTECODE=1")
endif()

add_test(NAME browser_real.chromium
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/browser_real/chromium_test.py)
set_tests_properties(browser_real.chromium PROPERTIES LABELS browser_real TIMEOUT 60
    ENVIRONMENT "KORVANEL_PROGRAM=$<TARGET_FILE:korvanel>;KORVANEL_SOURCE_DIR=${CMAKE_SOURCE_DIR};PYTHONDONTWRITEBYTECODE=1")

add_test(NAME browser_real.desktop_browsers
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/browser_real/desktop_browsers_test.py)
set_tests_properties(browser_real.desktop_browsers PROPERTIES LABELS browser_real TIMEOUT 240
    ENVIRONMENT "KORVANEL_PROGRAM=$<TARGET_FILE:korvanel>;KORVANEL_COMMAND_TOOL=$<TARGET_FILE:browser_command_tool>;KORVANEL_SOURCE_DIR=${CMAKE_SOURCE_DIR};PYTHONDONTWRITEBYTECODE=1")

# With a SOCKS5 upstream no DNS query for the target leaves the proxy (namespaces of its own,
# a DNS watcher and microsocks; skipped without root).
add_test(NAME e2e.socks_names
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/e2e/socks_names_test.py)
set_tests_properties(e2e.socks_names PROPERTIES LABELS e2e TIMEOUT 60 SKIP_RETURN_CODE 77
    ENVIRONMENT "KORVANEL_PROGRAM=$<TARGET_FILE:korvanel>;KORVANEL_SOURCE_DIR=${CMAKE_SOURCE_DIR};PYTHONDONTWRITEBYTECODE=1")
