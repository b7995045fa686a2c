# Steps of the install that cmake's own rules do not take, run by
# `cmake --install` (cmake/Install.cmake includes this file there).
cmake_policy(VERSION 3.25)

# Paths are named as the manifest names them, by their final places below
# PREFIX; on the disk they are below DESTDIR when the install is staged.

# The folder above path, by its text alone (cmake's own path functions
# read a backslash as a separator).
function(rookwell_parent path out)
  string(FIND "${path}" "/" slash REVERSE)
  if(slash LESS 1)
    set(${out} "" PARENT_SCOPE)
  else()
    string(SUBSTRING "${path}" 0 ${slash} parent)
    set(${out} "${parent}" PARENT_SCOPE)
  endif()
endfunction()

# The folders below path on the disk (path included when recurse is
# TRUE, else its entries only), by their final names.
function(rookwell_folders_below path recurse out)
  set(found "")
  if(recurse)
    file(GLOB_RECURSE entries LIST_DIRECTORIES true "$ENV{DESTDIR}${path}/*")
  else()
    file(GLOB entries LIST_DIRECTORIES true "$ENV{DESTDIR}${path}/*")
  endif()
  string(LENGTH "$ENV{DESTDIR}" staged)
  foreach(entry ${entries})
    if(IS_DIRECTORY "${entry}")
      string(SUBSTRING "${entry}" ${staged} -1 entry)
      list(APPEND found "${entry}")
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# What an install of ours puts below PREFIX, relative to it: the files of
# the destinations, the program folder whole, and the databases' own files
# beside them (refreshed from those files, never ours alone).
function(rookwell_part relative out)
  set(part "")
  if(relative MATCHES "^(bin/rookwell|share/applications/rookwell\\.desktop|share/mime/packages/rookwell\\.xml|share/icons/hicolor/[0-9]+x[0-9]+/apps/rookwell\\.png)$"
     OR relative STREQUAL ROOKWELL_PROGRAM_DIR)
    set(part "ours")
  elseif(relative MATCHES "^(share/applications/mimeinfo\\.cache|share/icons/hicolor/icon-theme\\.cache)$"
         OR (relative MATCHES "^share/mime/[^/]+$" AND NOT relative STREQUAL "share/mime/packages"))
    set(part "database")
  elseif(relative MATCHES "^(bin|lib|share|share/applications|share/mime|share/mime/packages|share/icons|share/icons/hicolor|share/icons/hicolor/[0-9]+x[0-9]+|share/icons/hicolor/[0-9]+x[0-9]+/apps)$")
    set(part "above")
  endif()
  set(${out} "${part}" PARENT_SCOPE)
endfunction()

# Whether the folder (its final name, relative below PREFIX) holds only what
# installs of ours put there and some of it: then an older install made it,
# though it recorded nothing. Sets <out>_OURS and <out>_FOREIGN (it holds
# something else), and appends every such folder below it to <out>_FOLDERS.
function(rookwell_weigh folder relative out)
  set(foreign FALSE)
  set(ours FALSE)
  set(folders "")
  file(GLOB entries LIST_DIRECTORIES true RELATIVE "$ENV{DESTDIR}${folder}" "$ENV{DESTDIR}${folder}/*")
  foreach(name ${entries})
    if(relative STREQUAL "")
      set(below "${name}")
    else()
      set(below "${relative}/${name}")
    endif()
    rookwell_part("${below}" part)
    if(part STREQUAL "ours")
      set(ours TRUE)
    elseif(part STREQUAL "above" AND IS_DIRECTORY "$ENV{DESTDIR}${folder}/${name}"
           AND NOT IS_SYMLINK "$ENV{DESTDIR}${folder}/${name}")
      rookwell_weigh("${folder}/${name}" "${below}" inner)
      list(APPEND folders ${inner_FOLDERS})
      if(inner_FOREIGN)
        set(foreign TRUE)
      endif()
      if(inner_OURS)
        set(ours TRUE)
      endif()
    elseif(NOT part STREQUAL "database")
      set(foreign TRUE)
    endif()
  endforeach()
  if(ours AND NOT foreign)
    list(APPEND folders "${folder}")
  endif()
  set(${out}_OURS ${ours} PARENT_SCOPE)
  set(${out}_FOREIGN ${foreign} PARENT_SCOPE)
  set(${out}_FOLDERS "${folders}" PARENT_SCOPE)
endfunction()

# The folders of the prefix that an older install of ours left: those
# that hold only its files. A prefix laid out for the system (/usr/local
# comes with sbin and include) keeps its bin, lib and share, which it had
# whoever installed.
function(rookwell_left_by_older out)
  set(prefix "${CMAKE_INSTALL_PREFIX}")
  rookwell_weigh("${prefix}" "" all)
  set(left ${all_FOLDERS})
  if(IS_DIRECTORY "$ENV{DESTDIR}${prefix}/sbin" OR IS_DIRECTORY "$ENV{DESTDIR}${prefix}/include")
    foreach(top bin lib share)
      list(REMOVE_ITEM left "${prefix}/${top}")
    endforeach()
  endif()
  set(${out} "${left}" PARENT_SCOPE)
endfunction()

# The databases' files below PREFIX, by their final names.
function(rookwell_databases out)
  set(prefix "${CMAKE_INSTALL_PREFIX}")
  set(found "")
  file(GLOB mime LIST_DIRECTORIES true "$ENV{DESTDIR}${prefix}/share/mime/*")
  string(LENGTH "$ENV{DESTDIR}" staged)
  foreach(entry ${mime} "$ENV{DESTDIR}${prefix}/share/applications/mimeinfo.cache"
                "$ENV{DESTDIR}${prefix}/share/icons/hicolor/icon-theme.cache")
    if(EXISTS "${entry}" AND NOT entry MATCHES "/share/mime/packages$")
      string(SUBSTRING "${entry}" ${staged} -1 entry)
      list(APPEND found "${entry}")
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# Every folder between PREFIX and a destination (both included), and the
# shared MIME database's folders, that exist now and are the prefix's own:
# not left by an older install of ours. The program folder and what is in
# it is never the prefix's: the removal sorts out what a user left there.
function(rookwell_folders_before out)
  set(prefix "${CMAKE_INSTALL_PREFIX}")
  set(found "")
  foreach(destination ${ROOKWELL_DESTINATIONS} share/mime)
    set(folder "${prefix}/${destination}")
    while(NOT folder STREQUAL prefix AND NOT folder STREQUAL "")
      if(IS_DIRECTORY "$ENV{DESTDIR}${folder}")
        list(APPEND found "${folder}")
      endif()
      rookwell_parent("${folder}" folder)
    endwhile()
  endforeach()
  if(IS_DIRECTORY "$ENV{DESTDIR}${prefix}")
    list(APPEND found "${prefix}")
  endif()
  rookwell_folders_below("${prefix}/share/mime" FALSE database)
  list(APPEND found ${database})
  list(REMOVE_DUPLICATES found)
  list(REMOVE_ITEM found "${prefix}/${ROOKWELL_PROGRAM_DIR}")
  rookwell_left_by_older(older)
  foreach(folder ${older})
    list(REMOVE_ITEM found "${folder}")
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# The databases' files that are the prefix's own before the install: those
# beside files of other programs, or in a folder no install of ours made.
function(rookwell_databases_before out)
  rookwell_databases(present)
  rookwell_left_by_older(older)
  set(own "")
  foreach(file ${present})
    rookwell_parent("${file}" folder)
    if(NOT folder IN_LIST older)
      list(APPEND own "${file}")
    endif()
  endforeach()
  set(${out} "${own}" PARENT_SCOPE)
endfunction()

# Writes to record where this install went: PREFIX, then DESTDIR (a line
# of its own, empty when the install is live).
function(rookwell_record_place record)
  file(WRITE "${record}" "${CMAKE_INSTALL_PREFIX}\n$ENV{DESTDIR}\n")
endfunction()

# Writes to record the databases' files this install made: those there now
# that were not the prefix's before, with what an earlier install to the
# same PREFIX recorded.
function(rookwell_record_databases before record)
  set(prefix "${CMAKE_INSTALL_PREFIX}")
  set(made "")
  if(EXISTS "${record}")
    file(STRINGS "${record}" earlier)
    foreach(file ${earlier})
      string(FIND "${file}" "${prefix}/" at)
      if(at EQUAL 0)
        list(APPEND made "${file}")
      endif()
    endforeach()
  endif()
  rookwell_databases(present)
  foreach(file ${present})
    if(NOT file IN_LIST before)
      list(APPEND made "${file}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES made)
  list(SORT made)
  string(REPLACE ";" "\n" text "${made}")
  file(WRITE "${record}" "${text}\n")
endfunction()

# Writes to record the folders this install made: those above the files it
# copied (up to PREFIX) and the MIME database's that were not there
# before, with what an earlier install to the same PREFIX recorded.
function(rookwell_record_folders before installed record)
  set(prefix "${CMAKE_INSTALL_PREFIX}")
  set(made "")
  if(EXISTS "${record}")
    file(READ "${record}" earlier)
    string(REPLACE "\n" ";" earlier "${earlier}")
    foreach(folder ${earlier})
      string(FIND "${folder}/" "${prefix}/" at)
      if(at EQUAL 0)
        list(APPEND made "${folder}")
      endif()
    endforeach()
  endif()
  rookwell_folders_below("${prefix}/share/mime" FALSE database)
  foreach(file ${installed} ${database})
    if(IS_DIRECTORY "$ENV{DESTDIR}${file}")
      set(folder "${file}")
    else()
      rookwell_parent("${file}" folder)
    endif()
    while(1)
      string(FIND "${folder}/" "${prefix}/" at)
      if(NOT at EQUAL 0)
        break()
      endif()
      if(NOT folder IN_LIST before AND IS_DIRECTORY "$ENV{DESTDIR}${folder}")
        list(APPEND made "${folder}")
      endif()
      rookwell_parent("${folder}" folder)
    endwhile()
  endforeach()
  list(REMOVE_DUPLICATES made)
  list(SORT made)
  string(REPLACE ";" "\n" text "${made}")
  file(WRITE "${record}" "${text}\n")
endfunction()

# A path as one argument of a menu entry's Exec key: quoted when it holds
# a character the entry format reserves, with the quoting's escapes and
# then the value's own (a backslash doubled); '%' doubled as no field code.
function(rookwell_exec_argument path out)
  set(argument "${path}")
  set(quote FALSE)
  foreach(reserved " " "\t" "\n" [["]] "'" [[\]] ">" "<" "~" "|" "&" "$" "*" "?" "#" "(" ")" "`")
    string(FIND "${argument}" "${reserved}" at)
    if(NOT at EQUAL -1)
      set(quote TRUE)
    endif()
  endforeach()
  string(FIND "${argument}" [[;]] at)
  if(quote OR NOT at EQUAL -1)
    string(REPLACE [[\]] [[\\]] argument "${argument}")
    string(REPLACE [["]] [[\"]] argument "${argument}")
    string(REPLACE [[`]] [[\`]] argument "${argument}")
    string(REPLACE [[$]] [[\$]] argument "${argument}")
    set(argument "\"${argument}\"")
  endif()
  string(REPLACE [[\]] [[\\]] argument "${argument}")
  string(REPLACE "\t" [[\t]] argument "${argument}")
  string(REPLACE "\n" [[\n]] argument "${argument}")
  string(REPLACE "\r" [[\r]] argument "${argument}")
  string(REPLACE "%" "%%" argument "${argument}")
  set(${out} "${argument}" PARENT_SCOPE)
endfunction()

# The menu entry of desktop/ with the command named by its full path,
# written as rookwell.desktop into folder.
function(rookwell_menu_entry command folder)
  file(READ "${ROOKWELL_SOURCE_DIR}/desktop/rookwell.desktop" entry)
  set(bare "\nExec=rookwell %F\n")
  string(FIND "${entry}" "${bare}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "desktop/rookwell.desktop has no line \"Exec=rookwell %F\"")
  endif()
  rookwell_exec_argument("${command}" argument)
  string(REPLACE "${bare}" "\nExec=${argument} %F\n" entry "${entry}")
  file(WRITE "${folder}/rookwell.desktop" "${entry}")
endfunction()
