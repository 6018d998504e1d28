glx_add_fuzzer(reg_file glx_platform)
