# The Debian package: builds it with cpack and checks its contents and metadata.
add_test(NAME package_deb
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/packaging/check-deb ${CMAKE_CPACK_COMMAND}
                 ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
set_tests_properties(package_deb PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900)
