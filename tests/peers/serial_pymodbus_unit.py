#!/usr/bin/python3
"""A Modbus unit on a serial device for the serial exchange's integration tests.

Usage: serial_pymodbus_unit.py rtu|ascii DEVICE
Opens DEVICE (one end of a pseudo-terminal pair), prints "1" on stdout once it listens, and
answers as unit 1 with RTU or ASCII framing until stdin closes or it is terminated. Register
contents (addresses from 0, 100 of each):
  coils: on where address % 3 == 0      discrete inputs: on where address is even
  holding registers: 3 * address + 1    input registers: 1000 + address
"""
import logging
import os
import select
import sys
import tty

from pymodbus.factory import ServerDecoder
from pymodbus.framer.ascii_framer import ModbusAsciiFramer
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from unit_memory import make_context

# The package's serial server needs the serial module, which Debian's package does not pull in;
# its framers, request decoder and datastore are all a unit needs.
FRAMERS = {"rtu": ModbusRtuFramer, "ascii": ModbusAsciiFramer}


def main(framer_name, device):
    context = make_context()
    fd = os.open(device, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    framer = FRAMERS[framer_name](ServerDecoder(), client=None)

    def execute(request):
        response = request.execute(context[request.unit_id])
        response.transaction_id = request.transaction_id
        response.unit_id = request.unit_id
        if response.should_respond:
            os.write(fd, framer.buildPacket(response))

    print(1, flush=True)
    while True:
        ready, _, _ = select.select([sys.stdin, fd], [], [])
        if sys.stdin in ready and not os.read(sys.stdin.fileno(), 64):
            break
        if fd in ready:
            try:
                data = os.read(fd, 1024)
            except OSError:
                break
            if not data:
                break
            try:
                framer.processIncomingPacket(data, execute, unit=[1], single=True)
            except Exception:  # pylint: disable=broad-except
                framer.resetFrame()
    os.close(fd)


if __name__ == "__main__":
    logging.disable(logging.CRITICAL)
    main(sys.argv[1], sys.argv[2])
