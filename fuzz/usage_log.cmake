glx_add_fuzzer(usage_log glx_update)
