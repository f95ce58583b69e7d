cmake_minimum_required(VERSION 3.16)
# Runs the configuration's check of the library folders over the tree TREE, as
# CMakeLists.txt runs it over the sources (cmake/FolderLibraries.cmake).
set(CMAKE_SOURCE_DIR ${TREE})
set(VESCOR_CORE_FOLDERS common model device exchange snapshot flows journal settings)
set(VESCOR_GUI_FOLDERS app table dialogs)
set(VESCOR_PROGRAM_FOLDERS cli)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/FolderLibraries.cmake)
vescor_check_folders_have_one_library()
message(STATUS "Каждый исходник входит в библиотеку своей папки")
