#!/usr/bin/python3
"""A Modbus unit on 127.0.0.1 for the engine's integration tests.

Usage: pymodbus_tcp_unit.py socket|rtu|ascii
Serves one unit for every unit id with Modbus/TCP framing, or RTU or ASCII frames carried over
TCP, on a port the kernel chooses, and prints that port on stdout. Runs until stdin closes or it
is terminated. Register contents (addresses from 0, 100 of each):
  coils: on where address % 3 == 0      discrete inputs: on where address is even
  holding registers: 3 * address + 1    input registers: 1000 + address
"""
import logging
import socket
import sys
import threading

from pymodbus.exceptions import NoSuchSlaveException
from pymodbus.factory import ServerDecoder
from pymodbus.framer.ascii_framer import ModbusAsciiFramer
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from pymodbus.framer.socket_framer import ModbusSocketFramer
from pymodbus.pdu import ModbusExceptions
from unit_memory import make_context

# The package's own TCP server needs the serial module even for TCP; the framers, the request
# decoder and the datastore are all a unit needs, so the connections are served here.
FRAMERS = {"socket": ModbusSocketFramer, "rtu": ModbusRtuFramer, "ascii": ModbusAsciiFramer}


def serve_connection(conn, framer_class, context, lock):
    framer = framer_class(ServerDecoder(), client=None)

    def execute(request):
        with lock:
            try:
                response = request.execute(context[request.unit_id])
            except NoSuchSlaveException:
                response = request.doException(ModbusExceptions.GatewayNoResponse)
        response.transaction_id = request.transaction_id
        response.unit_id = request.unit_id
        if response.should_respond:
            conn.sendall(framer.buildPacket(response))

    with conn:
        while True:
            try:
                data = conn.recv(1024)
            except OSError:
                return
            if not data:
                return
            try:
                framer.processIncomingPacket(data, execute, unit=context.slaves(), single=True)
            except Exception:  # pylint: disable=broad-except
                framer.resetFrame()


def main(framer_name):
    framer_class = FRAMERS[framer_name]
    context = make_context()
    lock = threading.Lock()
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    print(listener.getsockname()[1], flush=True)

    def accept_loop():
        while True:
            try:
                conn, _ = listener.accept()
            except OSError:
                return
            threading.Thread(target=serve_connection, args=(conn, framer_class, context, lock),
                             daemon=True).start()

    threading.Thread(target=accept_loop, daemon=True).start()
    # Ends when the test closes our stdin (or terminates us).
    sys.stdin.read()
    listener.close()


if __name__ == "__main__":
    logging.disable(logging.CRITICAL)
    main(sys.argv[1] if len(sys.argv) > 1 else "socket")
