#!/usr/bin/python3
"""The SMTP, FTP and MariaDB servers the tests talk to, started once per test run.

    testservers.py start KIND STATEDIR    starts the server in the background; returns once it serves
    testservers.py stop KIND STATEDIR     ends it and removes its state

KIND is smtp, ftp or mariadb. CTest runs these as fixture set-up and clean-up tests (see
tests/CMakeLists.txt); by hand, start a server the same way before running a test program.

A running server writes STATEDIR/KIND.json (its pid and how to reach it) and logs to
STATEDIR/KIND.log. When the server programs are not installed, the state holds "missing" with the
reason, so that the tests skip with it.

smtp and ftp listen on a control port of 127.0.0.1. A test connects there and sends one line per
server of its own, the fields separated by TAB:
    smtp MODE SPOOL [TLS CERT KEY [USER PASSWORD]]
                                       aiosmtpd keeping every message in SPOOL; MODE accept|reject;
                                       TLS starttls (required before MAIL) or implicit (port 465
                                       style); with USER and PASSWORD a login is required too
    ftp HOME USER PASSWORD COMMANDLOG [CERT KEY]  pyftpdlib serving HOME, logging every command
                                       (with CERT and KEY: explicit FTPS, TLS required)
and gets "port N" (or "error TEXT") back. What a connection opened closes when it ends, so tests
never see each other's mail or files.

mariadb: a private server (port and socket in the state); each test creates a database of its own
as root over the socket.
"""
import json
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(os.path.dirname(HERE), 'fixtures')
KINDS = ('smtp', 'ftp', 'mariadb')


def state_path(kind, statedir):
    return os.path.join(statedir, kind + '.json')


def write_state(kind, statedir, state):
    path = state_path(kind, statedir)
    with open(path + '.tmp', 'w') as f:
        json.dump(dict(state, pid=os.getpid()), f)
    os.replace(path + '.tmp', path)


def parse_line(line):
    return line.rstrip('\r\n').split('\t')


# --- smtp: one asyncio loop for the control port and every mailbox -------------------------------

def serve_smtp(statedir, ready):
    import asyncio
    sys.path.insert(0, os.path.join(FIXTURES, 'mail'))
    from aiosmtpd.smtp import SMTP
    import tarvosmtp

    import ssl

    def tls_context(cert, key):
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(cert, key)
        return context

    async def open_mailbox(mode, spool, tls=None, cert=None, key=None, user=None, password=None):
        handler = tarvosmtp.Handler(spool, mode)
        options = {}
        listen_tls = None
        if tls == 'starttls':
            options = dict(tls_context=tls_context(cert, key), require_starttls=True)
        elif tls == 'implicit':
            listen_tls = tls_context(cert, key)
        elif tls is not None:
            raise ValueError('TLS is starttls or implicit')
        if user is not None:
            options.update(authenticator=tarvosmtp.Authenticator(spool, user, password),
                           auth_required=True, auth_require_tls=True)

        def factory():
            smtp = SMTP(handler, **options)
            if listen_tls is not None:
                smtp._tls_protocol = True  # a TLS listener: the login may go at once
            return smtp
        return await asyncio.get_running_loop().create_server(
            factory, '127.0.0.1', 0, ssl=listen_tls)

    async def control(reader, writer):
        servers = []
        try:
            while line := (await reader.readline()).decode():
                fields = parse_line(line)
                try:
                    if fields[0] != 'smtp' or len(fields) not in (3, 6, 8):
                        raise ValueError('expected: smtp MODE SPOOL [TLS CERT KEY [USER PASSWORD]]')
                    server = await open_mailbox(*fields[1:])
                    servers.append(server)
                    reply = 'port %d' % server.sockets[0].getsockname()[1]
                except Exception as error:  # the test shows the reason
                    reply = 'error %s' % error
                writer.write((reply + '\n').encode())
                await writer.drain()
        finally:
            for server in servers:
                server.close()
            writer.close()

    async def main():
        server = await asyncio.start_server(control, '127.0.0.1', 0)
        ready({'control': server.sockets[0].getsockname()[1]})
        await server.serve_forever()

    asyncio.run(main())


# --- ftp: one pyftpdlib loop for the control port and every FTP home ------------------------------

def serve_ftp(statedir, ready):
    sys.path.insert(0, os.path.join(FIXTURES, 'ftp'))
    from pyftpdlib.ioloop import Acceptor, AsyncChat, IOLoop
    import tarvoftpd

    ioloop = IOLoop.instance()

    class ControlChannel(AsyncChat):
        def __init__(self, sock):
            AsyncChat.__init__(self, sock, ioloop=ioloop)
            self.set_terminator(b'\n')
            self.pending = []
            self.servers = []

        def collect_incoming_data(self, data):
            self.pending.append(data)

        def found_terminator(self):
            fields = parse_line(b''.join(self.pending).decode())
            self.pending = []
            try:
                if fields[0] != 'ftp' or len(fields) not in (5, 7):
                    raise ValueError('expected: ftp HOME USER PASSWORD COMMANDLOG [CERT KEY]')
                server = tarvoftpd.make_server(*fields[1:5], ioloop, *fields[5:])
                self.servers.append(server)
                reply = 'port %d' % server.socket.getsockname()[1]
            except Exception as error:  # the test shows the reason
                reply = 'error %s' % error
            self.push((reply + '\n').encode())

        def handle_close(self):
            for server in self.servers:
                server.close()  # the listening socket only: other servers share the loop
            self.close()

    class ControlAcceptor(Acceptor):
        def handle_accepted(self, sock, addr):
            ControlChannel(sock)

    acceptor = ControlAcceptor(ioloop=ioloop)
    acceptor.create_socket(socket.AF_INET, socket.SOCK_STREAM)
    acceptor.bind(('127.0.0.1', 0))
    acceptor.listen(16)
    ready({'control': acceptor.socket.getsockname()[1]})
    ioloop.loop()


# --- mariadb: a private server in STATEDIR/mariadb ---------------------------------------------

def mariadb_missing():
    for program in ('/usr/sbin/mariadbd', shutil.which('mariadb-install-db'), shutil.which('mariadb')):
        if not program or not os.access(program, os.X_OK):
            return 'the MariaDB server programs (mariadb-server) are not installed'
    return None


def free_port():
    with socket.socket() as probe:
        probe.bind(('127.0.0.1', 0))
        return probe.getsockname()[1]


def make_mariadb_certificates(folder):
    """A test CA and the server's certificate for 127.0.0.1 (TLS is offered, not required), and
    a second CA that did not sign it."""
    os.makedirs(folder)
    def openssl(*arguments):
        subprocess.run(['openssl'] + list(arguments), check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
    path = lambda name: os.path.join(folder, name)
    ec = ['-newkey', 'ec', '-pkeyopt', 'ec_paramgen_curve:prime256v1', '-nodes']
    for ca in ('ca', 'other-ca'):
        openssl('req', '-x509', *ec, '-days', '2', '-subj', '/CN=Tarvo Test ' + ca,
                '-keyout', path(ca + '.key'), '-out', path(ca + '.pem'))
    openssl('req', *ec, '-subj', '/CN=127.0.0.1', '-keyout', path('server.key'),
            '-out', path('server.csr'))
    with open(path('server.ext'), 'w') as ext:
        ext.write('subjectAltName=IP:127.0.0.1\n')
    openssl('x509', '-req', '-in', path('server.csr'), '-CA', path('ca.pem'), '-CAkey',
            path('ca.key'), '-CAcreateserial', '-days', '2', '-extfile', path('server.ext'),
            '-out', path('server.pem'))
    return {'ca': path('ca.pem'), 'cert': path('server.pem'), 'key': path('server.key'),
            'otherCa': path('other-ca.pem')}


def serve_mariadb(statedir, ready):
    missing = mariadb_missing()
    if missing:
        ready({'missing': missing})
        signal.pause()  # a state without a server; stop ends this process
        return
    folder = os.path.join(statedir, 'mariadb')
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    data = os.path.join(folder, 'data')
    sock = os.path.join(folder, 'mysqld.sock')
    tls = make_mariadb_certificates(os.path.join(folder, 'tls'))
    subprocess.run(['mariadb-install-db', '--no-defaults', '--user=root', '--datadir=' + data,
                    '--auth-root-authentication-method=socket', '--skip-test-db'],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT, timeout=300)
    # The port is chosen free just before the server binds it; if someone takes it in between,
    # the server ends and another port is tried.
    for _ in range(5):
        port = free_port()
        server = subprocess.Popen(
            ['/usr/sbin/mariadbd', '--no-defaults', '--user=root', '--datadir=' + data,
             '--socket=' + sock, '--pid-file=' + os.path.join(folder, 'mysqld.pid'),
             '--port=%d' % port, '--bind-address=127.0.0.1,127.0.0.2', '--skip-name-resolve',
             '--innodb-buffer-pool-size=64M', '--ssl-ca=' + tls['ca'],
             '--ssl-cert=' + tls['cert'], '--ssl-key=' + tls['key']],
            stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
        for raw in server.stderr:
            sys.stdout.buffer.write(raw)
            if b'ready for connections' in raw:
                break
        if server.poll() is None:
            break
        server.wait()
    else:
        raise RuntimeError('mariadbd did not start; see the log')

    def shut_down_server():
        server.terminate()  # mariadbd shuts down cleanly on SIGTERM
        server.wait(timeout=60)
        shutil.rmtree(folder, ignore_errors=True)

    def shut_down(*_):
        shut_down_server()
        os._exit(0)

    signal.signal(signal.SIGTERM, shut_down)
    # Tests create databases named inv_...; the collector's user reaches them all.
    try:
        subprocess.run(['mariadb', '--no-defaults', '--socket=' + sock, '-uroot'], check=True,
                       input=b"CREATE USER 'tarvo'@'%' IDENTIFIED BY 's3cret';\n"
                             b"GRANT ALL ON `inv\\_%`.* TO 'tarvo'@'%';\n", timeout=60)
    except BaseException:
        shut_down_server()
        raise
    ready({'port': port, 'socket': sock, 'ca': tls['ca'], 'otherCa': tls['otherCa']})
    for raw in server.stderr:  # keeps the server's pipe drained for as long as it runs
        sys.stdout.buffer.write(raw)
    server.wait()


SERVE = {'smtp': serve_smtp, 'ftp': serve_ftp, 'mariadb': serve_mariadb}


# --- start and stop ---------------------------------------------------------------------------

def is_our_server(pid):
    try:
        with open('/proc/%d/cmdline' % pid, 'rb') as f:
            return b'testservers.py' in f.read()
    except OSError:
        return False


def stop(kind, statedir):
    path = state_path(kind, statedir)
    try:
        with open(path) as f:
            pid = json.load(f).get('pid')
    except (OSError, ValueError):
        return 0
    if isinstance(pid, int) and is_our_server(pid):
        try:
            handle = os.pidfd_open(pid)
            os.kill(pid, signal.SIGTERM)
            select.select([handle], [], [], 120)  # readable once the process has ended
            os.close(handle)
        except ProcessLookupError:
            pass
    os.remove(path)
    return 0


def start(kind, statedir):
    stop(kind, statedir)  # a server left over from a run that was cut short
    os.makedirs(statedir, exist_ok=True)
    read_end, write_end = os.pipe()
    if os.fork():
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            message = pipe.read()  # ends when the server is ready or has failed
        if message.startswith('ok'):
            print('%s server ready: %s' % (kind, state_path(kind, statedir)))
            return 0
        print('%s server did not start: %s' % (kind, message or 'see ' + kind + '.log'),
              file=sys.stderr)
        return 1

    # The server: a session of its own, detached from the output that CTest waits on.
    os.close(read_end)
    os.setsid()
    log = os.open(os.path.join(statedir, kind + '.log'), os.O_WRONLY | os.O_CREAT | os.O_TRUNC)
    os.dup2(os.open(os.devnull, os.O_RDONLY), 0)
    os.dup2(log, 1)
    os.dup2(log, 2)
    signal.signal(signal.SIGTERM, signal.SIG_DFL)

    def ready(state):
        write_state(kind, statedir, state)
        os.write(write_end, b'ok')
        os.close(write_end)

    try:
        SERVE[kind](statedir, ready)
    except BaseException:
        text = traceback.format_exc()
        sys.stderr.write(text)
        try:
            os.write(write_end, text.encode())
        except OSError:
            pass
    os._exit(0)


def main(argv):
    if len(argv) != 4 or argv[1] not in ('start', 'stop') or argv[2] not in KINDS:
        print(__doc__, file=sys.stderr)
        return 2
    action, kind, statedir = argv[1:]
    return (start if action == 'start' else stop)(kind, os.path.abspath(statedir))


if __name__ == '__main__':
    sys.exit(main(sys.argv))
