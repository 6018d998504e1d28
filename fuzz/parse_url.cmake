glx_add_fuzzer(parse_url glx_net)
