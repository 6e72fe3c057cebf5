"""A private Dovecot IMAP server for tests, on 127.0.0.1: its own configuration (-c), base_dir,
ports, throwaway TLS certificates and one user, started and stopped by the test. No system
service is touched.

As root, the login processes run as Debian's dovenull user and the mail processes as dovecot
(Dovecot refuses to run them as root); as another user, everything runs as that user."""
import os
import pwd
import grp
import shutil
import signal
import socket
import subprocess
import tempfile
import time

DOVECOT = shutil.which("dovecot") or "/usr/sbin/dovecot"
DOVEADM = shutil.which("doveadm") or "/usr/bin/doveadm"


SPECIAL_FOLDERS = {"Sent": "Sent", "Drafts": "Drafts", "Trash": "Trash", "Spam": "Junk"}


def available():
    return os.path.exists(DOVECOT) and os.path.exists(DOVEADM) and shutil.which("openssl") is not None


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def openssl(*arguments):
    subprocess.run(["openssl", *arguments], check=True, capture_output=True)


class Dovecot:
    """Dovecot for user USER with password PASSWORD. tls: "required" (imaps and STARTTLS),
    "none" (no TLS at all: STARTTLS is not offered). cert_host: the name the server's
    certificate is made out to."""

    USER = "mover"
    PASSWORD = "s3cret pass"

    def __init__(self, work, tls="required", cert_host="localhost", mail_location=None, max_mail_size=None):
        self.work = os.path.abspath(work)
        self.max_mail_size = max_mail_size
        self.tls = tls
        self.cert_host = cert_host
        self.mail_location = mail_location or "maildir:~/Maildir:LAYOUT=fs"
        self.process = None
        self.imap_port = free_port()
        self.imaps_port = free_port()
        os.makedirs(self.work, exist_ok=True)
        self._reachable()
        self.ca_file = os.path.join(self.work, "ca.pem")
        self.home = os.path.join(self.work, "home", self.USER)
        self.config = os.path.join(self.work, "dovecot.conf")
        if os.geteuid() == 0:
            self.login_user, self.mail_user = "dovenull", "dovecot"
        else:
            self.login_user = self.mail_user = pwd.getpwuid(os.geteuid()).pw_name
        self._certificates()
        self._configure()

    def _reachable(self):
        """Dovecot's own users must reach the files: temporary folders above work (made 0700 by
        tempfile) are opened for passing through."""
        top = os.path.realpath(tempfile.gettempdir())
        path = os.path.realpath(self.work)
        while path.startswith(top + os.sep):
            mode = os.stat(path).st_mode
            if not mode & 0o001:
                os.chmod(path, (mode & 0o7777) | 0o011)
            path = os.path.dirname(path)

    def _certificates(self):
        w = self.work
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Test CA",
                "-keyout", f"{w}/ca.key", "-out", self.ca_file,
                "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign")
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", f"/CN={self.cert_host}",
                "-keyout", f"{w}/server.key", "-out", f"{w}/server.csr")
        with open(f"{w}/server.ext", "w") as f:
            f.write(f"subjectAltName=DNS:{self.cert_host}\nextendedKeyUsage=serverAuth\n")
        openssl("x509", "-req", "-in", f"{w}/server.csr", "-CA", self.ca_file, "-CAkey", f"{w}/ca.key",
                "-CAcreateserial", "-days", "2", "-extfile", f"{w}/server.ext", "-out", f"{w}/server.pem")

    def _configure(self):
        w = self.work
        uid = pwd.getpwnam(self.mail_user).pw_uid
        gid = grp.getgrgid(pwd.getpwnam(self.mail_user).pw_gid).gr_gid
        for d in ("run", "state", "home"):
            os.makedirs(os.path.join(w, d), exist_ok=True)
        os.makedirs(self.home, exist_ok=True)
        for directory, _, _ in os.walk(os.path.join(w, "home")):
            os.chown(directory, uid, gid)
        with open(f"{w}/passwd", "w") as f:
            f.write(f"{self.USER}:{{PLAIN}}{self.PASSWORD}::::::\n")
        os.chmod(f"{w}/server.key", 0o600)
        ssl = "no" if self.tls == "none" else "required"
        imaps = "" if self.tls == "none" else f"""
  inet_listener imaps {{
    address = 127.0.0.1
    port = {self.imaps_port}
    ssl = yes
  }}"""
        # The server's special-use folders; their names differ from the store's on purpose.
        special_folders = "".join(f"  mailbox {name} {{\n    special_use = \\{use}\n    auto = create\n  }}\n"
                                  for name, use in SPECIAL_FOLDERS.items())
        # A largest mail (the quota plugin's), for a server that refuses some mails.
        quota = "" if not self.max_mail_size else f"""mail_plugins = $mail_plugins quota
plugin {{
  quota = maildir:User quota
  quota_max_mail_size = {self.max_mail_size}
}}
"""
        with open(self.config, "w") as f:
            f.write(f"""protocols = imap
listen = 127.0.0.1
base_dir = {w}/run
state_dir = {w}/state
log_path = {w}/dovecot.log
default_login_user = {self.login_user}
default_internal_user = {self.mail_user}
first_valid_uid = {uid}
last_valid_uid = {uid}
first_valid_gid = 0
ssl = {ssl}
ssl_cert = <{w}/server.pem
ssl_key = <{w}/server.key
disable_plaintext_auth = {"no" if self.tls == "none" else "yes"}
auth_mechanisms = plain login
passdb {{
  driver = passwd-file
  args = scheme=PLAIN username_format=%u {w}/passwd
}}
userdb {{
  driver = static
  args = uid={uid} gid={gid} home={w}/home/%u
}}
mail_location = {self.mail_location}
mail_fsync = never
{quota}namespace inbox {{
  inbox = yes
  separator = /
{special_folders}}}
service imap-login {{
  inet_listener imap {{
    address = 127.0.0.1
    port = {self.imap_port}
  }}{imaps}
}}
service stats {{
  unix_listener stats-reader {{
    mode = 0666
  }}
  unix_listener stats-writer {{
    mode = 0666
  }}
}}
""")

    def start(self):
        self.process = subprocess.Popen([DOVECOT, "-F", "-c", self.config],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError("dovecot did not start: " + self.process.stderr.read().decode() + self.log())
            try:
                with socket.create_connection(("127.0.0.1", self.imap_port), timeout=1) as s:
                    if s.recv(100).startswith(b"* OK"):
                        return self
            except OSError:
                time.sleep(0.05)
        raise RuntimeError("dovecot did not answer: " + self.log())

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process = None

    def restart(self):
        self.stop()
        return self.start()

    def __enter__(self):
        return self.start()

    def __exit__(self, *_):
        self.stop()

    def log(self):
        try:
            with open(os.path.join(self.work, "dovecot.log")) as f:
                return f.read()
        except OSError:
            return ""

    def doveadm(self, command, *arguments, mail_location=None, formatter=None):
        """Runs `doveadm COMMAND -u USER ARGUMENTS` against this server's configuration; returns
        stdout. command: "mailbox list", "fetch", ..."""
        options = ["-o", f"mail_location={mail_location}"] if mail_location else []
        if formatter:
            options += ["-f", formatter]
        result = subprocess.run([DOVEADM, "-c", self.config, *options, *command.split(), "-u", self.USER,
                                 *arguments], capture_output=True)
        if result.returncode != 0:
            raise RuntimeError(f"doveadm {command} {' '.join(arguments)}: {result.stderr.decode()}")
        return result.stdout

    def folders(self, mail_location=None):
        return self.doveadm("mailbox list", mail_location=mail_location).decode().splitlines()

    def messages(self, folder, fields="", mail_location=None):
        """Every message of folder, in order: a dict of its uid, the fields asked for (bytes) and
        its text (the whole message)."""
        wanted = ["uid", *fields.split(), "text"]
        out = self.doveadm("fetch", " ".join(wanted), "mailbox", folder, "all", mail_location=mail_location,
                           formatter="pager")
        messages = []
        for record in out.split(b"\f\n"):
            if not record.strip():
                continue
            message = {}
            rest = record
            while rest and not rest.startswith(b"text:\n"):
                line, _, rest = rest.partition(b"\n")
                key, _, value = line.partition(b":")
                message[key.decode()] = value.strip()
            message["text"] = rest[len(b"text:\n"):]
            messages.append(message)
        return messages
