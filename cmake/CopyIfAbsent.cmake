# cmake -DSRC=a -DDST=b -P CopyIfAbsent.cmake: copies a to b unless b exists.
if(NOT EXISTS "${DST}")
    file(COPY_FILE "${SRC}" "${DST}")
endif()
