# Fails when a source includes across its layer the wrong way. Run by the build before anything
# is compiled:
#   cmake -DSOURCE_DIR=<source tree> -DQT_CORE_HEADERS=<QtCore's header folder> -P cmake/CheckLayers.cmake
#
#   layer    folders                              may include from the project               system headers
#   core     core/ drives/ transferlist/ copy/    core/ drives/ transferlist/ copy/          only the C++ library (not its file
#                                                                                            access) and Qt Core
#   posix    platform/posix/                      core/ platform/posix/                      any but Qt's other modules
#   qtui     platform/qt/                         core/ platform/qt/                         only the C++ library and Qt
#   window   app/                                 core/ drives/ transferlist/ copy/          only the C++ library and Qt
#                                                 platform/qt/ app/
# app/main.cpp puts the program together and may include every layer.
#
# Every folder is read with all its sub-folders, and every include line counts: "..." or <...>,
# with blanks before or after the "#". A project header is named from the top of the tree
# ("core/AppError.h"), in either form; a quoted name that starts elsewhere is refused, since the
# compiler would look for it beside the including file first.
cmake_policy(VERSION 3.22)
if(NOT SOURCE_DIR OR NOT IS_DIRECTORY "${QT_CORE_HEADERS}")
  message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<source tree> -DQT_CORE_HEADERS=<QtCore's header folder> -P CheckLayers.cmake")
endif()

set(project_folders core drives transferlist copy platform app)
set(core_folders core drives transferlist copy)
# The C++20 standard library, and the C library as C++ offers it. The core reaches files only
# through its services, so <filesystem>, <fstream> and <cstdio> are left out of its share.
set(standard_headers
  algorithm any array atomic barrier bit bitset charconv chrono compare complex concepts
  condition_variable coroutine deque exception execution format forward_list functional future
  initializer_list iomanip ios iosfwd iostream istream iterator latch limits list locale map memory
  memory_resource mutex new numbers numeric optional ostream queue random ranges ratio regex
  scoped_allocator semaphore set shared_mutex source_location span sstream stack stdexcept stop_token
  streambuf string string_view syncstream system_error thread tuple type_traits typeindex typeinfo
  unordered_map unordered_set utility valarray variant vector version
  cassert cctype cerrno cfenv cfloat cinttypes climits clocale cmath csetjmp csignal cstdarg cstddef
  cstdint cstdlib cstring ctime cuchar cwchar cwctype)
set(file_access_headers filesystem fstream cstdio)

# What kind of header `header` (the text between the brackets or quotes) is: project, standard,
# file-access (standard, but reaching files), qtcore, qt (another Qt module) or system.
function(header_kind header quoted out)
  string(REGEX MATCH "^[^/]+" first "${header}")
  if(first IN_LIST project_folders AND header MATCHES "/")
    set(kind project)
  elseif(quoted)
    set(kind relative)
  elseif(header IN_LIST standard_headers)
    set(kind standard)
  elseif(header IN_LIST file_access_headers)
    set(kind file-access)
  elseif(header MATCHES "^QtCore/" OR (header MATCHES "^Q[A-Za-z]+$" AND EXISTS "${QT_CORE_HEADERS}/${header}"))
    set(kind qtcore)
  elseif(header MATCHES "^Qt[A-Za-z]*/" OR header MATCHES "^Q[A-Za-z]+$")
    set(kind qt)
  else()
    set(kind system)
  endif()
  set(${out} ${kind} PARENT_SCOPE)
endfunction()

set(failures "")
foreach(layer core posix qtui window)
  if(layer STREQUAL core)
    set(folders ${core_folders})
    set(allowed ${core_folders})
    set(system_kinds standard qtcore)
  elseif(layer STREQUAL posix)
    set(folders platform/posix)
    set(allowed core platform/posix)
    set(system_kinds standard file-access qtcore system)
  elseif(layer STREQUAL qtui)
    set(folders platform/qt)
    set(allowed core platform/qt)
    set(system_kinds standard file-access qtcore qt)
  else()
    set(folders app)
    set(allowed ${core_folders} platform/qt app)
    set(system_kinds standard file-access qtcore qt)
  endif()
  foreach(folder ${folders})
    file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
    foreach(source ${sources})
      if(source STREQUAL "app/main.cpp")
        continue()
      endif()
      file(STRINGS ${SOURCE_DIR}/${source} lines REGEX "^[ \t]*#[ \t]*include")
      foreach(line ${lines})
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*" "" spelled "${line}")
        string(REGEX REPLACE "[ \t]*//.*$" "" spelled "${spelled}")
        if(spelled MATCHES "^\"([^\"]+)\"")
          set(quoted TRUE)
        elseif(spelled MATCHES "^<([^>]+)>")
          set(quoted FALSE)
        else()
          string(APPEND failures "\n  ${source}: an include the check cannot read: ${line}")
          continue()
        endif()
        set(header "${CMAKE_MATCH_1}")
        header_kind("${header}" ${quoted} kind)
        if(kind STREQUAL project)
          string(REGEX REPLACE "/[^/]*$" "" included_folder "${header}")
          set(ok FALSE)
          foreach(a ${allowed})
            if(included_folder STREQUAL a OR included_folder MATCHES "^${a}/")
              set(ok TRUE)
            endif()
          endforeach()
          if(NOT ok)
            list(JOIN allowed " " allowed_text)
            string(APPEND failures "\n  ${source} includes ${spelled}: the ${layer} layer may include only ${allowed_text}")
          endif()
        elseif(kind STREQUAL relative)
          string(APPEND failures "\n  ${source} includes ${spelled}: name a project header from the top of the tree")
        elseif(NOT kind IN_LIST system_kinds)
          if(kind STREQUAL system)
            set(why "only platform/posix/ speaks to the system")
          elseif(kind STREQUAL qt)
            set(why "the ${layer} layer links Qt Core alone")
          else()
            set(why "the ${layer} layer reaches files only through its services")
          endif()
          string(APPEND failures "\n  ${source} includes ${spelled}: ${why}")
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()

if(failures)
  message(FATAL_ERROR "An include crosses a layer the wrong way:${failures}")
endif()
