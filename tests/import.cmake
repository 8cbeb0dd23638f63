# The import's statement fixtures, and its test run again in two time zones: a statement's
# days are the days it prints, whatever zone the computer is in.
target_compile_definitions(tst_import
                           PRIVATE LEDGERKIN_IMPORT_FIXTURES="${CMAKE_CURRENT_SOURCE_DIR}/fixtures/import")
foreach(zone Asia/Shanghai America/New_York)
  string(REPLACE "/" "_" tag ${zone})
  add_test(NAME tst_import_tz_${tag} COMMAND tst_import statementFixtures importsStatements)
  set_tests_properties(tst_import_tz_${tag} PROPERTIES
                       ENVIRONMENT "TZ=${zone};LEDGERKIN_TEST_BACKEND=sqlite" TIMEOUT 600)
endforeach()
target_compile_definitions(tst_import_gui
                           PRIVATE LEDGERKIN_IMPORT_FIXTURES="${CMAKE_CURRENT_SOURCE_DIR}/fixtures/import")
