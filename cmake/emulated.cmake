# varo_uuid_runnable(TARGET VAR): sets VAR to a command that runs TARGET from
# a shell script. Natively that is the program itself; in a cross build it
# is a generated wrapper, <program>-emulated beside the program, that puts
# the toolchain's emulator (qemu-user) in front of it.
function(varo_uuid_runnable target var)
  if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(${var} $<TARGET_FILE:${target}> PARENT_SCOPE)
    return()
  endif()
  list(TRANSFORM CMAKE_CROSSCOMPILING_EMULATOR REPLACE "(.+)" "'\\1'" OUTPUT_VARIABLE emulator)
  list(JOIN emulator " " emulator)
  set(wrapper $<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_NAME:${target}>-emulated)
  file(GENERATE OUTPUT ${wrapper}
    CONTENT "#!/bin/sh\nexec ${emulator} '$<TARGET_FILE:${target}>' \"$@\"\n"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
  set(${var} ${wrapper} PARENT_SCOPE)
endfunction()
