# Checks a vendor firmware image: it must be a file of exactly 130,048 bytes.
# Included by CMakeLists.txt with IMAGE set; also runs as a script:
#   cmake -DIMAGE=<file> -P CheckImage.cmake
set(required_size 130048)
if(NOT EXISTS "${IMAGE}" OR IS_DIRECTORY "${IMAGE}")
  message(FATAL_ERROR "VARNO_FIRMWARE_IMAGE: ${IMAGE} does not exist or is not a file")
endif()
file(SIZE "${IMAGE}" image_size)
if(NOT image_size EQUAL required_size)
  message(FATAL_ERROR
    "VARNO_FIRMWARE_IMAGE: ${IMAGE} is ${image_size} bytes; "
    "the firmware image must be exactly ${required_size} bytes (508 blocks of 256)")
endif()
