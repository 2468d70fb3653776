# Debian arm64: the processors of today's Linux phones.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(PHONE_TRIPLET aarch64-linux-gnu)
set(PHONE_QEMU /usr/bin/qemu-aarch64-static)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
