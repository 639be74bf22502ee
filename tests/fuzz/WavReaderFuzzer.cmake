# The merge's reader of sound files, alone: it needs nothing but its own file.
add_executable(wav_reader_fuzzer ${CMAKE_CURRENT_LIST_DIR}/WavReaderFuzzer.cpp
    ${source_root}/platform/avifile/WavLayout.cpp)
target_include_directories(wav_reader_fuzzer PRIVATE ${source_root})
target_compile_options(wav_reader_fuzzer PRIVATE -g -O1 -fsanitize=fuzzer,address,undefined
                                                 -fno-sanitize-recover=undefined
                                                 -Wall -Wextra -Werror)
target_link_options(wav_reader_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
