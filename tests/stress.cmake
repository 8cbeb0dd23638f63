# Process-level tests: the driver (tests/stress) works on a book through the core, as several
# copies at once and as a copy killed with SIGKILL again and again; it checks the book itself.
file(GLOB LEDGERKIN_STRESS_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/stress/*.cpp
     ${CMAKE_CURRENT_LIST_DIR}/stress/*.h)
add_executable(ledgerkin_driver ${LEDGERKIN_STRESS_SOURCES})
target_link_libraries(ledgerkin_driver PRIVATE ledgerkin_test_support_core)

add_test(NAME stress_concurrency_sqlite COMMAND ledgerkin_driver concurrency --backend sqlite
                                                --workers 2 --millis 6000)
add_test(NAME stress_concurrency_pg COMMAND ledgerkin_driver concurrency --backend pg
                                            --workers 2 --millis 6000)
add_test(NAME stress_crash_sqlite COMMAND ledgerkin_driver crash --kills 60 --max-seconds 150)
set_tests_properties(stress_concurrency_sqlite stress_concurrency_pg PROPERTIES TIMEOUT 180)
set_tests_properties(stress_concurrency_pg PROPERTIES SKIP_RETURN_CODE 77)
set_tests_properties(stress_crash_sqlite PROPERTIES TIMEOUT 300)

# A family's copies started, used and quit at random on one book, some killed, with backups,
# restores and imports; `ledgerkin_driver soak --seconds 3600` runs it for an hour.
foreach(backend sqlite pg)
  add_test(NAME stress_soak_${backend} COMMAND ledgerkin_driver soak --backend ${backend}
                                               --seconds 40)
  set_tests_properties(stress_soak_${backend} PROPERTIES TIMEOUT 180 SKIP_RETURN_CODE 77)
endforeach()

# Copies confirming the same due recurring records at the same moment write each of them once.
foreach(backend sqlite pg)
  add_test(NAME stress_recurring_${backend} COMMAND ledgerkin_driver recurring --backend ${backend}
                                                    --copies 3)
  set_tests_properties(stress_recurring_${backend} PROPERTIES TIMEOUT 240 SKIP_RETURN_CODE 77)
endforeach()

# The --database argument as typed on the command line: an empty or blank value is refused
# with a message before any window opens.
foreach(value "" "   ")
  string(LENGTH "${value}" len)
  add_test(NAME cli_database_blank_${len} COMMAND ledgerkin --database "${value}")
  set_tests_properties(cli_database_blank_${len} PROPERTIES
                       ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                       PASS_REGULAR_EXPRESSION "--database 需要一个账本路径或 URL" TIMEOUT 30)
endforeach()

# The README's household server, followed step by step on a throwaway PostgreSQL server
# (skipped where PostgreSQL is not installed).
add_test(NAME household_server
         COMMAND ${PROJECT_SOURCE_DIR}/scripts/household-server $<TARGET_FILE:ledgerkin_driver>)
set_tests_properties(household_server PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
