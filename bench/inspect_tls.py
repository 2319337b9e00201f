"""The HTTPS inspection measurements of (h) and (h2): proxies that decrypt, each with a CA of
its own that the bench makes and the clients trust, each trusting the bench's test CA for the
origin. (h) opens a new client TLS connection through the proxy for every 1 KiB GET; (h2)
keeps its connections and sends its GETs over them. The drivers are curl's parallel mode."""

import hashlib
import os
import subprocess
import time

import measure
import servers
import tunnels

LOOPBACK = measure.LOOPBACK


EC_P256 = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256"]
# Privoxy (with mbedTLS 2.28) mints nothing with an EC CA key: the client's handshake fails.
RSA_2048 = ["-newkey", "rsa:2048"]


def make_ca(directory, name, key=EC_P256):
    """ca.pem and ca.key (CA:TRUE) in directory, for one proxy to sign with."""
    os.makedirs(directory, exist_ok=True)
    subprocess.run(["openssl", "req", "-x509", *key, "-nodes", "-keyout", "ca.key",
                    "-out", "ca.pem",
                    "-days", "2", "-subj", f"/CN={name} bench CA",
                    "-addext", "basicConstraints=critical,CA:TRUE",
                    "-addext", "keyUsage=critical,keyCertSign,cRLSign"],
                   cwd=directory, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    os.chmod(directory, 0o755)
    os.chmod(os.path.join(directory, "ca.pem"), 0o644)
    os.chmod(os.path.join(directory, "ca.key"), 0o644)  # the proxy may read it as another user
    return os.path.join(directory, "ca.pem"), os.path.join(directory, "ca.key")


def start_privoxy(workdir, tls_dir, tls_port):
    """Privoxy with https-inspection on for every host, its origin trust the test CA."""
    port = servers.free_port()
    ca_dir = os.path.join(workdir, "privoxy-ca")
    make_ca(ca_dir, "Privoxy", RSA_2048)
    certs = os.path.join(workdir, "privoxy-certs")
    os.makedirs(certs, exist_ok=True)
    os.chmod(certs, 0o777)
    action_file = os.path.join(workdir, "inspect.action")
    servers.write(action_file, f"{{+limit-connect{{{tls_port}}} +https-inspection}}\n/\n")
    conf = os.path.join(workdir, "privoxy-inspect.conf")
    servers.write(conf, servers.privoxy_common_lines(workdir, port) + f"""actionsfile {action_file}
ca-directory {ca_dir}
ca-cert-file ca.pem
ca-key-file ca.key
certificate-directory {certs}
trusted-cas-file {tls_dir}/ca.pem
""")
    server = servers.Server("privoxy", ["privoxy", "--no-daemon", conf], workdir, port)
    server.cafile = os.path.join(ca_dir, "ca.pem")
    return server


def start_squid(workdir, tls_dir):
    """Squid bumping every CONNECT (peek at the client's hello, then bump), minting its
    certificates with its own helper, its origin trust the test CA."""
    port = servers.free_port()
    squid_dir = os.path.join(workdir, "squid-bump")
    os.makedirs(squid_dir, exist_ok=True)
    os.chmod(squid_dir, 0o777)
    cert, key = make_ca(os.path.join(workdir, "squid-ca"), "Squid")
    db = os.path.join(squid_dir, "ssl_db")
    subprocess.run(["/usr/lib/squid/security_file_certgen", "-c", "-s", db, "-M", "4MB"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["chmod", "-R", "a+rwX", db], check=True)
    service = f"kbump{os.getpid()}"
    conf = os.path.join(workdir, "squid-bump.conf")
    bump = (f"ssl-bump tls-cert={cert} tls-key={key} generate-host-certificates=on "
            "dynamic_cert_mem_cache_size=4MB")
    servers.write(conf, f"""http_port {LOOPBACK}:{port} {bump}
sslcrtd_program /usr/lib/squid/security_file_certgen -s {db} -M 4MB
sslcrtd_children 4 startup=1 idle=1
tls_outgoing_options cafile={tls_dir}/ca.pem
acl step1 at_step SslBump1
ssl_bump peek step1
ssl_bump bump all
""" + servers.squid_common_lines(squid_dir))
    try:
        server = servers.Server("squid", ["squid", "-N", "-n", service, "-f", conf], workdir,
                                port, own_log=f"{squid_dir}/cache.log")
    except RuntimeError:
        servers.remove_shared_memory(service)
        raise
    server.cleanups.append(lambda: servers.remove_shared_memory(service))
    server.cafile = cert
    return server


def start_mitmproxy(workdir, tls_dir):
    """mitmdump, quiet, with the bench's CA in its configuration folder."""
    port = servers.free_port()
    confdir = os.path.join(workdir, "mitmproxy")
    cert, key = make_ca(confdir, "mitmproxy")
    with open(os.path.join(confdir, "mitmproxy-ca.pem"), "w") as out:
        for path in (key, cert):
            with open(path) as f:
                out.write(f.read())
    argv = ["mitmdump", "-q", "--listen-host", LOOPBACK, "--listen-port", str(port),
            "--set", f"confdir={confdir}", "--set", f"ssl_verify_upstream_trusted_ca="
            f"{tls_dir}/ca.pem", "--set", "flow_detail=0", "--set", "termlog_verbosity=error"]
    server = servers.Server("mitmproxy", argv, workdir, port)
    server.cafile = cert
    return server


def start_korvanel(workdir, program, name, tls_dir, tls_port, tag_rows):
    """KORVANEL with tunnels and inspection on, the test CA as its extra trust; it makes its
    own CA (korvanel-ca.pem) at start."""
    server = servers.start_korvanel(workdir, program, name, "3", tag_rows, tunnel_port=tls_port,
                                    inspect_ca_file=os.path.join(tls_dir, "ca.pem"))
    server.cafile = os.path.join(server.home, "korvanel-ca.pem")
    deadline = time.monotonic() + servers.START_TIMEOUT_S
    while not os.path.exists(server.cafile) and time.monotonic() < deadline:
        time.sleep(0.05)
    if not os.path.exists(server.cafile):
        server.stop()
        raise RuntimeError(f"{name} made no korvanel-ca.pem: is inspection in this build?")
    return server


def kept_exchanges(url, proxy_port, cafile, count, concurrency, size, workdir):
    """req/s, p50 ms, p99 ms of `count` TLS GETs, `concurrency` connections at a time that
    curl keeps and reuses; and how many connections it opened, which must be far fewer
    than the GETs (else the proxy did not keep them)."""
    figures = tunnels.parallel_gets(url, proxy_port, cafile, count, concurrency, size, workdir,
                                    [])
    figures["requests"] = count
    return figures


def keeps_alive(url, proxy_port, cafile):
    """Whether a second GET goes over the connection of the first."""
    argv = tunnels.tls_argv(url, proxy_port, cafile, measure.PROBE_TIMEOUT_S)
    argv[1:1] = ["-o", "/dev/null", "-o", "/dev/null", "-w", "%{http_code} %{num_connects}\n"]
    rc, out, err = measure.run_tool(argv + [url], measure.PROBE_TIMEOUT_S * 3)
    if rc != 0:
        raise measure.Failure(f"curl exit status {rc}: {measure.last_line(err)}")
    answers = [line.split() for line in out.splitlines()]
    if [code for code, _ in answers] != ["200", "200"]:
        raise measure.Failure(f"two GETs on one connection: {out.strip()!r}")
    return answers[1][1] == "0"


def check_page(url, proxy_port, cafile, size, sha256, filtered):
    """Fetches the page through the proxy's inspection: the original byte for byte, or with
    `filtered` the original with some tags turned into comments and nothing else. Returns
    the size received."""
    argv = tunnels.tls_argv(url, proxy_port, cafile, measure.PROBE_TIMEOUT_S)
    rc = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                        timeout=measure.PROBE_TIMEOUT_S * 2)
    if rc.returncode != 0:
        raise measure.Failure(f"curl exit status {rc.returncode}: "
                              f"{measure.last_line(rc.stderr.decode(errors='replace'))}")
    body = rc.stdout
    plain = body.replace(b"<!--<", b"<").replace(b">-->", b">") if filtered else body
    if filtered and plain == body:
        raise measure.Failure("no tag was turned into a comment")
    if len(plain) != size or hashlib.sha256(plain).hexdigest() != sha256:
        raise measure.Failure(f"wrong body: {len(body)} bytes, expected {size}")
    return len(body)
