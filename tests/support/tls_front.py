#!/usr/bin/env python3
"""TLS in front of the test HTTP server of the Windows tests, which run under Wine.

Usage: tls_front.py PLAIN_PORT FOLDER

Makes a self-signed certificate for 127.0.0.1 and localhost (FOLDER/cert.pem),
listens with TLS on a free loopback port, writes that port to FOLDER/port, and
relays every connection to 127.0.0.1:PLAIN_PORT in plain. A reset from the server
becomes a reset towards the client. Ends when FOLDER/port is deleted.
"""
import os
import select
import socket
import ssl
import struct
import subprocess
import sys
import threading


def make_certificate(folder):
    cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
                    "-nodes", "-keyout", key, "-out", cert, "-days", "1", "-subj", "/CN=localhost",
                    "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


def relay(context, client, plain_port):
    try:
        client.settimeout(10)
        secure = context.wrap_socket(client, server_side=True)
        secure.settimeout(None)
        plain = socket.create_connection(("127.0.0.1", plain_port))
    except (OSError, ssl.SSLError):
        client.close()
        return
    reset = False
    try:
        while True:
            ready = [secure] if secure.pending() else select.select([secure, plain], [], [])[0]
            if secure in ready:
                data = secure.recv(65536)
                if not data:
                    break
                plain.sendall(data)
            if plain in ready:
                data = plain.recv(65536)
                if not data:
                    break
                secure.sendall(data)
    except ConnectionResetError:
        reset = True
    except (OSError, ssl.SSLError):
        pass
    if reset:
        secure.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    else:
        try:
            secure.unwrap()
        except (OSError, ssl.SSLError):
            pass
    secure.close()
    plain.close()


def main():
    plain_port, folder = int(sys.argv[1]), sys.argv[2]
    quiet = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):  # hold none of the test runner's pipes
        os.dup2(quiet, fd)
    context = make_certificate(folder)
    listener = socket.create_server(("127.0.0.1", 0))
    listener.settimeout(0.1)
    port_file = os.path.join(folder, "port")
    with open(port_file + ".new", "w") as out:
        out.write(str(listener.getsockname()[1]))
    os.replace(port_file + ".new", port_file)
    while os.path.exists(port_file):
        try:
            client, _ = listener.accept()
        except socket.timeout:
            continue
        threading.Thread(target=relay, args=(context, client, plain_port), daemon=True).start()


if __name__ == "__main__":
    main()
