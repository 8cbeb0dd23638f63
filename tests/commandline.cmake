# The command line speaks Chinese: --help, Qt's own lines of it included, has no English left.
add_test(NAME cli_help_chinese COMMAND ledgerkin --help)
set_tests_properties(cli_help_chinese PROPERTIES
                     PASS_REGULAR_EXPRESSION "用法：.*选项：.*显示版本号"
                     FAIL_REGULAR_EXPRESSION "Usage|Options|Displays|help on"
                     TIMEOUT 60)
