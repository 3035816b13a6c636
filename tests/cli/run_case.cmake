# Runs the tool once in a fresh scratch folder and checks everything it did:
#   its exit status, its whole standard output (byte for byte), that standard error stayed
#   empty, the output file against an expected file, and that no other file was left behind.
# Variables (set with -D):
#   TRASOP      the tool
#   DATA        folder with input/ and expected/
#   WORK        scratch folder (emptied first)
#   CASE        case name; its expected output is expected/<CASE>.stdout (see below)
#   ARGS        arguments, separated by "|"; @WORK@ stands for the scratch folder
#   INPUTS      files to place, "|"-separated, each SOURCE or SOURCE:DEST
#   FOLDERS     folders to create first, "|"-separated
#   EXIT        expected exit status
#   OUTPUT      file the run must produce (relative to WORK), compared with expected/EXPECT
#   EXPECT      expected file for OUTPUT
#   UNCHANGED   SOURCE:DEST, a placed file that must still equal input/SOURCE
#   READ_ONLY   if true, the scratch folder is made read-only before the run; run as root, the
#               tool then runs as the user nobody, for whom the folder's permissions hold
#   EMULATOR    optional program that runs TRASOP (for a cross-built tool), "|"-separated
#   WRAP        optional command that runs the above in turn (limits for one case), "|"-sep.
#   MAKER       the input maker; MAKE=KIND:FILE|... has it write each FILE into the scratch
#               folder (an expected output among them, where EXPECT names it)
#   MAKER_EMULATOR  what runs the input maker, "|"-separated

cmake_minimum_required(VERSION 3.25)

function(fail message)
  message(FATAL_ERROR "${CASE}: ${message}")
endfunction()

# The scratch folder writable for its owner again, after a read-only run.
function(writable_again)
  file(CHMOD "${WORK}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                             GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endfunction()

function(split_list text out)
  string(REPLACE "|" ";" items "${text}")
  string(REPLACE "@WORK@" "${WORK}" items "${items}")
  set(${out} "${items}" PARENT_SCOPE)
endfunction()

if(EXISTS "${WORK}")
  file(CHMOD "${WORK}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endif()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

split_list("${FOLDERS}" folders)
foreach(folder IN LISTS folders)
  file(MAKE_DIRECTORY "${WORK}/${folder}")
endforeach()

split_list("${INPUTS}" inputs)
set(placed "")
foreach(input IN LISTS inputs)
  string(REPLACE ":" ";" fields "${input}")
  list(GET fields 0 source)
  list(LENGTH fields count)
  if(count GREATER 1)
    list(GET fields 1 dest)
  else()
    set(dest "${source}")
  endif()
  configure_file("${DATA}/input/${source}" "${WORK}/${dest}" COPYONLY)
  list(APPEND placed "${dest}")
endforeach()

split_list("${EMULATOR}" emulator)
split_list("${MAKER_EMULATOR}" maker)
split_list("${MAKE}" makes)
foreach(make IN LISTS makes)
  string(REPLACE ":" ";" make "${make}")
  list(GET make 0 kind)
  list(GET make 1 made)
  execute_process(COMMAND ${maker} "${MAKER}" ${kind} "${made}" WORKING_DIRECTORY "${WORK}"
                  RESULT_VARIABLE make_status)
  if(make_status)
    fail("could not make ${kind}")
  endif()
  list(APPEND placed "${made}")
endforeach()

split_list("${ARGS}" args)
split_list("${WRAP}" wrap)
if(READ_ONLY)
  file(CHMOD "${WORK}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                             WORLD_READ WORLD_EXECUTE)
  execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(uid STREQUAL "0")
    set(wrap setpriv --reuid=65534 --regid=65534 --clear-groups ${wrap})
    list(GET placed 0 first_input)
    execute_process(COMMAND ${wrap} test -r "${WORK}/${first_input}" RESULT_VARIABLE unreachable)
    if(unreachable)
      writable_again()
      message("SKIPPED: the user nobody cannot reach ${WORK}")
      return()
    endif()
  endif()
endif()
execute_process(
  COMMAND ${wrap} ${emulator} "${TRASOP}" ${args}
  WORKING_DIRECTORY "${WORK}"
  RESULT_VARIABLE status
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err)
# Whatever the outcome, the user who ran the tests can remove the folder again.
writable_again()

if(NOT "${status}" STREQUAL "${EXIT}")
  fail("exit status ${status}, expected ${EXIT}\n${out}")
endif()
if(NOT "${err}" STREQUAL "")
  fail("wrote to standard error:\n${err}")
endif()
# Every run opens with the banner and closes with the end line; expected/<CASE>.stdout holds
# what comes between. A successful run without such a file is expected to print the plain
# transcript: its argument read, its output file written.
if(EXISTS "${DATA}/expected/${CASE}.stdout")
  file(READ "${DATA}/expected/${CASE}.stdout" expected_out)
  string(REPLACE "@WORK@" "${WORK}" expected_out "${expected_out}")
elseif(EXIT EQUAL 0 AND OUTPUT)
  list(GET args 0 input)
  set(expected_out "\ndmna-Datei  ${input}  wird gelesen.\ndmna-Datei  ${OUTPUT}  wird erstellt.\n")
else()
  fail("expected/${CASE}.stdout is missing")
endif()
set(banner "\ntrasop - Gelaendesteigungen aus dmna-Gitterdateien\n\nVersion 1.1\n")
set(expected_out "${banner}${expected_out}\n*** Programmende ***\n")
# A Windows console ends its lines in CR LF; the text is what matters.
string(REPLACE "\r\n" "\n" out "${out}")
if(NOT out STREQUAL expected_out)
  fail("standard output differs.\n--- expected\n${expected_out}\n--- actual\n${out}")
endif()

if(UNCHANGED)
  # A file placed before the run that the run must leave as it was.
  string(REPLACE ":" ";" unchanged "${UNCHANGED}")
  list(GET unchanged 0 source)
  list(GET unchanged 1 dest)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${WORK}/${dest}"
                          "${DATA}/input/${source}" RESULT_VARIABLE differs)
  if(differs)
    fail("${dest} was changed")
  endif()
endif()

if(OUTPUT)
  # The expected file is one of expected/, or one that MAKE made (too large to keep).
  set(expect "${DATA}/expected/${EXPECT}")
  if(EXPECT IN_LIST placed)
    set(expect "${WORK}/${EXPECT}")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${WORK}/${OUTPUT}" "${expect}"
                  RESULT_VARIABLE differs)
  if(differs)
    fail("${OUTPUT} differs from expected/${EXPECT}")
  endif()
  list(APPEND placed "${OUTPUT}")
endif()

# Nothing else may be left: no temporary file, no partial output.
file(GLOB_RECURSE left RELATIVE "${WORK}" "${WORK}/*")
list(REMOVE_ITEM left ${placed})
if(left)
  fail("left behind: ${left}")
endif()
