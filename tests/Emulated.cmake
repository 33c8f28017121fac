# The tests of a headless cross build for another processor (linux-arm64, linux-i686), run by ctest under
# the toolchain's emulator. The whole core suite takes about 15 s under qemu-aarch64 and 30 s under
# qemu-i386 on the 2-core CI machine, so all of it runs, as one entry (one emulator start-up, as under
# Wine): the kernels' every form against the scalar rule, the composed golden frames, the swarm, the
# sequencer. lumivorra-render's golden hashes (below, shared with the native builds) are the other half:
# the frames must equal the x86-64 build's.
add_test(NAME Emulated.CoreTests COMMAND lumivorra-tests)
# In a Japanese locale, whose texts the tests check (the headless layer reads only the variable).
set_tests_properties(Emulated.CoreTests PROPERTIES TIMEOUT 300 ENVIRONMENT LC_ALL=ja_JP.UTF-8)
