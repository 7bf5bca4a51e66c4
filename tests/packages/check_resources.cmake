cmake_minimum_required(VERSION 3.25)
# Fails unless EXE carries a version resource with VERSION (as "1.2.3" and in
# the binary block Windows shows), the tool's icon in its four sizes and a
# manifest that declares long paths.
#   cmake -D WRESTOOL=... -D EXE=... -D VERSION=1.2.3 -P check_resources.cmake
function(extract type output)
  execute_process(COMMAND ${WRESTOOL} --extract --raw --type=${type} ${EXE}
                  OUTPUT_FILE ${output} COMMAND_ERROR_IS_FATAL ANY)
  file(SIZE ${output} size)
  if(size EQUAL 0)
    message(FATAL_ERROR "${EXE} has no resource of type ${type}")
  endif()
endfunction()

# The strings of a version resource are UTF-16LE.
function(utf16_hex text result)
  string(HEX "${text}" hex)
  string(REGEX REPLACE "(..)" "\\100" hex "${hex}")
  set(${result} ${hex} PARENT_SCOPE)
endfunction()

extract(16 version.res)
file(READ version.res version_hex HEX)
foreach(key FileVersion ProductVersion)
  utf16_hex("${key}" key_hex)
  utf16_hex("${VERSION}" value_hex)
  if(NOT version_hex MATCHES "${key_hex}0000(0000)?${value_hex}0000")
    message(FATAL_ERROR "${key} is not ${VERSION}")
  endif()
endforeach()
# VS_FIXEDFILEINFO: the signature 0xFEEF04BD, the structure version, then the
# file version as two 32-bit words, major and minor in the first.
string(REPLACE "." ";" parts "${VERSION}")
list(GET parts 0 major)
list(GET parts 1 minor)
list(GET parts 2 patch)
function(le16 value result) # a 16-bit number as its two bytes, in hex
  set(hex "")
  foreach(byte IN ITEMS "${value} % 256" "${value} / 256")
    math(EXPR byte "${byte} + 256" OUTPUT_FORMAT HEXADECIMAL) # 0x1NN: two digits
    string(SUBSTRING "${byte}" 3 2 byte)
    string(APPEND hex "${byte}")
  endforeach()
  string(TOLOWER "${hex}" hex)
  set(${result} ${hex} PARENT_SCOPE)
endfunction()
le16(${minor} minor_hex)
le16(${major} major_hex)
le16(0 build_hex)
le16(${patch} patch_hex)
if(NOT version_hex MATCHES "bd04effe........${minor_hex}${major_hex}${build_hex}${patch_hex}")
  message(FATAL_ERROR "the fixed file version is not ${VERSION}.0")
endif()

# The icon: a group of four images, 16, 32, 48 and 256 (written 0) pixels
# wide, each entry 14 bytes after the 6 of the header.
extract(14 icon.res)
file(READ icon.res icon_hex HEX)
string(REPEAT "." 24 rest) # the rest of an entry; CMake's expressions have no {n}
if(NOT icon_hex MATCHES "^0000010004001010${rest}2020${rest}3030${rest}0000")
  message(FATAL_ERROR "the icon does not hold the images of 16, 32, 48 and 256 pixels")
endif()

extract(24 manifest.xml)
file(READ manifest.xml manifest)
if(NOT manifest MATCHES "<longPathAware[^>]*>true</longPathAware>")
  message(FATAL_ERROR "the manifest does not declare long paths")
endif()
message(STATUS "version ${VERSION}, icon and manifest found in ${EXE}")
