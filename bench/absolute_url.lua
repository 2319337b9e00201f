-- Makes wrk send absolute-form requests ("GET http://host:port/path HTTP/1.1") to the proxy
-- it connects to, with the origin's Host header.
wrk.path = os.getenv("BENCH_ABSOLUTE_URL")
wrk.headers["Host"] = os.getenv("BENCH_ORIGIN_HOST")
