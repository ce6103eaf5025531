# The suites that lean on the system's script objects, run again in two more wine prefixes:
# one without the script control, one without the script control and "VBScript.RegExp". The
# library then uses its own JScript host; the suites' assertions are the same in every mode.
# Each mode has its own prefix (wine-run.sh reads QUENLARK_WINE_MODE) and wineserver fixture.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR OR NOT QUENLARK_RUN_TESTS)
  return()
endif()

# The script objects' own tests (the bridge's tests use the system objects by name and stay in
# the first prefix).
set(quenlark_script_object_filter
  "--gtest_filter=RegexObject*:JsonObject*:DecodeUnicodeEscapes*:ScriptHost*:ScriptControlStandIn*:RegexStandIn*")

foreach(mode no-script-control no-script-objects)
  set(env "QUENLARK_WINE_MODE=${mode}")
  add_test(NAME wine.start.${mode}
    COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/script-mode-prefix.sh" "${CMAKE_CROSSCOMPILING_EMULATOR}" ${mode})
  add_test(NAME wine.stop.${mode} COMMAND "${CMAKE_CROSSCOMPILING_EMULATOR}" --stop)
  set_tests_properties(wine.start.${mode} PROPERTIES FIXTURES_SETUP wine.${mode} ENVIRONMENT "${env}")
  set_tests_properties(wine.stop.${mode} PROPERTIES FIXTURES_CLEANUP wine.${mode} ENVIRONMENT "${env}")

  set(mode_tests script_tests.${mode} http_tests.${mode} resolve_tests.${mode})
  add_test(NAME script_tests.${mode} COMMAND script_tests ${quenlark_script_object_filter})
  add_test(NAME http_tests.${mode} COMMAND http_tests)
  add_test(NAME resolve_tests.${mode} COMMAND resolve_tests)
  if(TARGET e2e_tests)
    string(REGEX REPLACE ".*:" "" port "${QUENLARK_SERVICE_ORIGIN}")
    add_test(NAME e2e_tests.${mode} COMMAND e2e_tests)
    add_test(NAME host_programs.${mode}
      COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/e2e/host_programs_test.sh" "${CMAKE_BINARY_DIR}/bin"
              "${CMAKE_CROSSCOMPILING_EMULATOR}" "${port}")
    set_tests_properties(e2e_tests.${mode} host_programs.${mode} PROPERTIES RESOURCE_LOCK quenlark_service_port)
    list(APPEND mode_tests e2e_tests.${mode} host_programs.${mode})
  endif()
  set_tests_properties(${mode_tests} PROPERTIES
    FIXTURES_REQUIRED wine.${mode} ENVIRONMENT "${env}" WORKING_DIRECTORY "${CMAKE_BINARY_DIR}/bin")
endforeach()

# The stand-in regex objects, made and dropped thousands of times, leak nothing either.
add_test(NAME script_leak_tests.no-script-objects
  COMMAND script_leak_tests "--gtest_filter=ScriptObjectsDoNotLeak.RegexObjects")
set_tests_properties(script_leak_tests.no-script-objects PROPERTIES
  FIXTURES_REQUIRED wine.no-script-objects ENVIRONMENT "QUENLARK_WINE_MODE=no-script-objects"
  WORKING_DIRECTORY "${CMAKE_BINARY_DIR}/bin")

# Not even the JScript engine: only the tests of that case run (they skip themselves elsewhere);
# the objects fail as before and the resolver shows the regex and the JSON boxes.
set(env "QUENLARK_WINE_MODE=no-script-engines")
add_test(NAME wine.start.no-script-engines
  COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/script-mode-prefix.sh" "${CMAKE_CROSSCOMPILING_EMULATOR}" no-script-engines)
add_test(NAME wine.stop.no-script-engines COMMAND "${CMAKE_CROSSCOMPILING_EMULATOR}" --stop)
set_tests_properties(wine.start.no-script-engines PROPERTIES FIXTURES_SETUP wine.no-script-engines ENVIRONMENT "${env}")
set_tests_properties(wine.stop.no-script-engines PROPERTIES FIXTURES_CLEANUP wine.no-script-engines ENVIRONMENT "${env}")
add_test(NAME script_tests.no-script-engines COMMAND script_tests "--gtest_filter=ScriptObjectsWithoutAnyEngine*")
add_test(NAME resolve_tests.no-script-engines COMMAND resolve_tests "--gtest_filter=*WithoutAnyScriptEngine*")
set_tests_properties(script_tests.no-script-engines resolve_tests.no-script-engines PROPERTIES
  FIXTURES_REQUIRED wine.no-script-engines ENVIRONMENT "${env}" WORKING_DIRECTORY "${CMAKE_BINARY_DIR}/bin"
  FAIL_REGULAR_EXPRESSION "SKIPPED")  # skipped here would mean the engine is still there
