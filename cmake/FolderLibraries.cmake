# Libraries built from whole folders, and the include roots that let each one
# see only the folders it may use.

# The sources of the folders: every .cpp, .h and .ui at their top.
function(vescor_folder_sources out)
  set(sources)
  foreach(folder ${ARGN})
    file(GLOB folder_sources CONFIGURE_DEPENDS
      ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.h ${CMAKE_SOURCE_DIR}/${folder}/*.ui)
    list(APPEND sources ${folder_sources})
  endforeach()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()

# A folder of the build tree holding links to the given source folders only:
# as an include root it makes "folder/Header.h" reachable for those folders and
# for no other. Sets out to its path.
function(vescor_folder_view out name)
  set(view ${CMAKE_BINARY_DIR}/${name})
  file(MAKE_DIRECTORY ${view})
  # Links of folders that left the list go too (file(REMOVE) removes a link, never what it points at).
  file(GLOB old_links LIST_DIRECTORIES true ${view}/*)
  foreach(link ${old_links})
    if(IS_SYMLINK ${link})
      file(REMOVE ${link})
    endif()
  endforeach()
  foreach(folder ${ARGN})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
  endforeach()
  set(${out} ${view} PARENT_SCOPE)
endfunction()

# Qt Core's include folders, with Qt's include root replaced by one that holds
# QtCore alone: <QtWidgets/QWidget> and <QtGui/...> are not found through it.
function(vescor_qt_core_view out)
  get_target_property(qt_includes Qt5::Core INTERFACE_INCLUDE_DIRECTORIES)
  set(view ${CMAKE_BINARY_DIR}/qt-core-view)
  set(includes)
  foreach(dir ${qt_includes})
    if(IS_DIRECTORY ${dir}/QtCore)
      file(MAKE_DIRECTORY ${view})
      file(REMOVE ${view}/QtCore)
      file(CREATE_LINK ${dir}/QtCore ${view}/QtCore SYMBOLIC)
      list(APPEND includes ${view})
    else()
      list(APPEND includes ${dir})
    endif()
  endforeach()
  set(${out} ${includes} PARENT_SCOPE)
endfunction()

# Stops the configuration when a folder with code at its top is in no library
# or in more than one: its files would be compiled by none, or twice.
function(vescor_check_folders_have_one_library)
  set(assigned ${VESCOR_CORE_FOLDERS} ${VESCOR_GUI_FOLDERS} ${VESCOR_PROGRAM_FOLDERS})
  set(seen)
  foreach(folder ${assigned})
    if(folder IN_LIST seen)
      message(FATAL_ERROR "Папка ${folder}/ отнесена к нескольким библиотекам: каждая папка кода принадлежит ровно одной")
    endif()
    list(APPEND seen ${folder})
    # A library takes the top of its folder only: code further down is compiled by nothing.
    file(GLOB_RECURSE nested RELATIVE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/${folder}/*/*.cpp
         ${CMAKE_SOURCE_DIR}/${folder}/*/*.h)
    if(nested)
      list(GET nested 0 first)
      message(FATAL_ERROR "Файл ${first} лежит в подпапке папки ${folder}/ и не входит ни в одну библиотеку: "
                          "библиотека берёт только файлы на верхнем уровне своей папки (перенесите его в ${folder}/)")
    endif()
  endforeach()
  # Folders with code of their own build: the driver, the tests and the benchmarks.
  set(own_builds driver tests bench)
  file(GLOB top_folders LIST_DIRECTORIES true RELATIVE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/*)
  foreach(folder ${top_folders})
    if(NOT IS_DIRECTORY ${CMAKE_SOURCE_DIR}/${folder} OR folder IN_LIST assigned OR folder IN_LIST own_builds)
      continue()
    endif()
    file(GLOB code ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.h)
    if(code)
      message(FATAL_ERROR "Папка ${folder}/ не отнесена ни к одной библиотеке: её файлы никто не компилирует "
                          "(добавьте её в VESCOR_CORE_FOLDERS или VESCOR_GUI_FOLDERS в CMakeLists.txt)")
    endif()
  endforeach()
endfunction()

