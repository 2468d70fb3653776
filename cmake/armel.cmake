# Debian armel: ARM EABI with soft float, the ABI of the GTA02's family.
# Debian builds it for ARMv5TE and newer (README: the GTA02 is ARMv4T).
set(CMAKE_SYSTEM_PROCESSOR arm)
set(PHONE_TRIPLET arm-linux-gnueabi)
set(PHONE_QEMU /usr/bin/qemu-arm-static)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
