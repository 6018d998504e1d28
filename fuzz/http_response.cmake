glx_add_fuzzer(http_response glx_net)
