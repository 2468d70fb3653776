# Cross-building with Debian's cross toolchain for PHONE_TRIPLET and the
# target's libraries installed as multiarch packages beside the host's
# (tools/install-deps cross). No sysroot: the compiler and CMake find the
# target's headers and libraries under /usr by the multiarch triplet. Tests
# run through qemu-user; the programs that tests start run through the
# kernel's binfmt_misc entry for the same emulator (tools/enable-binfmt).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${PHONE_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${PHONE_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${PHONE_TRIPLET})
set(PKG_CONFIG_EXECUTABLE ${PHONE_TRIPLET}-pkg-config)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PHONE_QEMU})
