# Reads the #include lines of every source of the program's folders under
# SOURCE_DIR and refuses the two ways round the include roots:
# - a relative include that climbs out of its folder ("../table/TableModel.h"),
#   which the compiler finds beside the source whatever the layers say;
# - a core folder that includes a folder above it in the core's order
#   (common, model, device, exchange, then snapshot and settings side by
#   side, flows, journal, and runs and report side by side on top): each
#   folder includes only those below it.
# The configuration runs it over the sources (CMakeLists.txt), and the
# core_include_order tests run it as a script over a given tree.
# Every refusal is one line naming the file, its include and the rule; any refusal fails the check.
set(core_order "common=0" "model=1" "device=2" "exchange=3" "snapshot=4" "settings=4" "flows=5" "journal=6" "runs=7"
               "report=7")
set(program_folders common model device exchange snapshot flows journal runs report settings app table dialogs cli)

set(rank_folders)
foreach(entry ${core_order})
  string(REPLACE "=" ";" pair "${entry}")
  list(GET pair 0 folder)
  list(GET pair 1 rank)
  set(rank_${folder} ${rank})
  list(APPEND rank_folders ${folder})
endforeach()

set(refusals 0)
foreach(folder ${program_folders})
  file(GLOB sources ${SOURCE_DIR}/${folder}/*.cpp ${SOURCE_DIR}/${folder}/*.h)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    file(RELATIVE_PATH shown ${SOURCE_DIR} ${source})
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" header "${line}")
      if(header MATCHES "(^|/)\\.\\./")
        message(NOTICE "${shown}: #include \"${header}\" выходит из папки через ../: "
                           "заголовок другой папки включается от корня (\"папка/Файл.h\"), и тогда слои проверяет компилятор")
        math(EXPR refusals "${refusals} + 1")
        continue()
      endif()
      if(NOT DEFINED rank_${folder} OR NOT header MATCHES "^([a-z]+)/")
        continue()
      endif()
      set(included ${CMAKE_MATCH_1})
      if(included STREQUAL folder OR NOT DEFINED rank_${included})
        continue()
      endif()
      if(NOT rank_${included} LESS rank_${folder})
        message(NOTICE "${shown}: #include \"${header}\": ${folder}/ не стоит в ядре выше ${included}/ "
                           "(порядок: common, model, device, exchange, затем snapshot и settings, затем flows, journal, затем runs и report) "
                           "и не может включать его")
        math(EXPR refusals "${refusals} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()
if(refusals GREATER 0)
  message(FATAL_ERROR "Порядок включений нарушен: ${refusals}")
endif()
message(STATUS "Включения по слоям и порядок ядра соблюдены")
