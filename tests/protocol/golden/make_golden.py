#!/usr/bin/python3
"""Writes golden_frames.txt: Modbus request and response frames built by pymodbus.

Run with the Debian pymodbus 3.0.0 (/usr/bin/python3 make_golden.py). Each line is one vector
of space-separated key=value fields:

  kind     request | response
  framing  rtu | ascii | tcp
  op       read | single | multiple | status | diag | user
  fc       function code of the request
  type     data type identifier (8050 Boolean ... 8060 ASCII String)
  mode     logical | register | modicon
  addr     start address as the operator enters it
  count    number of values (points for bits); size = string size
  values   comma-separated values (floats as exact decimals, strings as hex of their bytes)
  request  the request frame in hex (responses only: the reference for the scanner)
  frame    the frame in hex
  result   the result code the response checks must give (responses only)

Modbus/TCP frames carry transaction identifier 0, as the program's own requests do.
"""

import struct
import sys

from pymodbus.bit_read_message import (ReadCoilsRequest, ReadCoilsResponse,
                                       ReadDiscreteInputsRequest, ReadDiscreteInputsResponse)
from pymodbus.bit_write_message import (WriteMultipleCoilsRequest, WriteMultipleCoilsResponse,
                                        WriteSingleCoilRequest, WriteSingleCoilResponse)
from pymodbus.constants import Endian
from pymodbus.diag_message import ReturnQueryDataRequest, ReturnQueryDataResponse
from pymodbus.factory import ClientDecoder
from pymodbus.other_message import ReadExceptionStatusRequest, ReadExceptionStatusResponse
from pymodbus.payload import BinaryPayloadBuilder
from pymodbus.pdu import ExceptionResponse
from pymodbus.register_read_message import (ReadHoldingRegistersRequest,
                                            ReadHoldingRegistersResponse,
                                            ReadInputRegistersRequest,
                                            ReadInputRegistersResponse)
from pymodbus.register_write_message import (WriteMultipleRegistersRequest,
                                             WriteMultipleRegistersResponse,
                                             WriteSingleRegisterRequest,
                                             WriteSingleRegisterResponse)
from pymodbus.transaction import ModbusAsciiFramer, ModbusRtuFramer, ModbusSocketFramer

UNIT = 0x11
FRAMERS = {
    "rtu": ModbusRtuFramer(ClientDecoder()),
    "ascii": ModbusAsciiFramer(ClientDecoder()),
    "tcp": ModbusSocketFramer(ClientDecoder()),
}
EXCEPTION_RESULTS = {1: 5009, 2: 5010, 3: 5011, 4: 5012, 5: 5013, 6: 5023, 7: 5027, 8: 5029,
                     0x0A: 5030, 0x0B: 5031, 0x09: 5014, 0x00: 5014, 0x7F: 5014}

BOOLEAN, HEX8, INT8, UINT8, INT16, UINT16, INT32, UINT32, FLOAT, DOUBLE, STRING = range(8050, 8061)


def packet(framing, message):
    message.unit_id = UNIT
    message.transaction_id = 0
    message.protocol_id = 0
    return FRAMERS[framing].buildPacket(message).hex().upper()


def wire_address(framing, mode, addr):
    """Address on the wire: Modicon numbering is sent one lower in the binary framings."""
    if mode == "modicon" and framing != "ascii":
        return (addr - 1) & 0xFFFF
    return addr


def registers(kind, values, word_swap=False):
    builder = BinaryPayloadBuilder(byteorder=Endian.Big,
                                   wordorder=Endian.Little if word_swap else Endian.Big)
    for value in values:
        if kind in (INT8, UINT8):
            builder.add_16bit_uint(value & 0xFF)
        elif kind == INT16:
            builder.add_16bit_int(value)
        elif kind == UINT16:
            builder.add_16bit_uint(value)
        elif kind == INT32:
            builder.add_32bit_int(value)
        elif kind == UINT32:
            builder.add_32bit_uint(value)
        elif kind == FLOAT:
            builder.add_32bit_float(value)
        elif kind == DOUBLE:
            builder.add_64bit_float(value)
        elif kind == STRING:
            builder.add_string(value)
    return builder.to_registers()


def text_of(kind, values):
    if kind == STRING:
        return ",".join(v.encode().hex().upper() for v in values)
    return ",".join(repr(v) if isinstance(v, float) else str(int(v)) for v in values)


def line(**fields):
    return " ".join(f"{key}={value}" for key, value in fields.items() if value is not None)


# Values per data type, chosen to be exact in their wire format.
TYPED_VALUES = {
    INT16: [0, 1, -1, 32767, -32768, 1234],
    UINT16: [0, 1, 65535, 32768, 4660],
    INT32: [305419896, -1, -2147483648, 2147483647],
    UINT32: [305419896, 4294967295, 0],
    FLOAT: [1.0, 2.0, -2.25, 1024.5, 0.0],
    DOUBLE: [1.0, -0.5, 123456.75],
}


def read_vectors(framing, out):
    read_classes = {1: (ReadCoilsRequest, ReadCoilsResponse),
                    2: (ReadDiscreteInputsRequest, ReadDiscreteInputsResponse),
                    3: (ReadHoldingRegistersRequest, ReadHoldingRegistersResponse),
                    4: (ReadInputRegistersRequest, ReadInputRegistersResponse)}
    bit_sets = [[1, 0, 1, 1, 0, 0, 0, 0, 1, 1], [1], [1] * 8, [0, 1] * 9 + [1]]
    for fc in (1, 2):
        request_class, response_class = read_classes[fc]
        for addr, bits in zip((0, 19, 65535, 100), bit_sets):
            request = packet(framing, request_class(addr, len(bits)))
            out.append(line(kind="request", framing=framing, op="read", fc=fc, type=BOOLEAN,
                            mode="logical", addr=addr, count=len(bits), frame=request))
            response = packet(framing, response_class([bool(b) for b in bits]))
            out.append(line(kind="response", framing=framing, op="read", fc=fc, type=BOOLEAN,
                            mode="logical", count=len(bits), values=text_of(BOOLEAN, bits),
                            request=request, frame=response, result=0))

    for fc in (3, 4):
        request_class, response_class = read_classes[fc]
        for mode in ("logical", "register", "modicon"):
            for kind, values in TYPED_VALUES.items():
                per_value = {INT16: 1, UINT16: 1, INT32: 2, UINT32: 2, FLOAT: 2, DOUBLE: 4}[kind]
                quantity = len(values) * (1 if mode == "logical" else per_value)
                addr = 1 + kind - 8050
                request = packet(framing, request_class(wire_address(framing, mode, addr),
                                                        quantity))
                out.append(line(kind="request", framing=framing, op="read", fc=fc, type=kind,
                                mode=mode, addr=addr, count=len(values), frame=request))
                regs = registers(kind, values, word_swap=(kind == FLOAT and mode == "modicon"))
                response = packet(framing, response_class(regs))
                out.append(line(kind="response", framing=framing, op="read", fc=fc, type=kind,
                                mode=mode, count=len(values), values=text_of(kind, values),
                                request=request, frame=response, result=0))
            # 8-bit values: in the register modes one register each, the low byte counts.
            for kind in (INT8, UINT8):
                values = [5, -1, 127, -128] if kind == INT8 else [5, 255, 128, 0]
                for mode in ("register", "modicon"):
                    request = packet(framing, request_class(wire_address(framing, mode, 7),
                                                            len(values)))
                    regs = [0x0100 | (v & 0xFF) for v in values]  # the high byte is ignored
                    response = packet(framing, response_class(regs))
                    out.append(line(kind="response", framing=framing, op="read", fc=fc,
                                    type=kind, mode=mode, count=len(values),
                                    values=text_of(kind, values), request=request,
                                    frame=response, result=0))
                # Logical: one byte per value (an even count, as registers carry two bytes).
                request = packet(framing, request_class(7, len(values)))
                out.append(line(kind="request", framing=framing, op="read", fc=fc, type=kind,
                                mode="logical", addr=7, count=len(values), frame=request))
                packed = bytes(v & 0xFF for v in values)
                regs = [struct.unpack(">H", packed[i:i + 2])[0] for i in range(0, len(packed), 2)]
                response = packet(framing, response_class(regs))
                out.append(line(kind="response", framing=framing, op="read", fc=fc, type=kind,
                                mode="logical", count=len(values), values=text_of(kind, values),
                                request=request, frame=response, result=0))
            # Strings of size 4: three strings in one response.
            strings = ["AB  ", "CD  ", "EF  "]
            for mode in ("logical", "register"):
                quantity = 3 if mode == "logical" else 6
                request = packet(framing, request_class(40, quantity))
                out.append(line(kind="request", framing=framing, op="read", fc=fc, type=STRING,
                                mode=mode, addr=40, count=3, size=4, frame=request))
                response = packet(framing, response_class(registers(STRING, strings)))
                out.append(line(kind="response", framing=framing, op="read", fc=fc, type=STRING,
                                mode=mode, count=3, size=4, values=text_of(STRING, strings),
                                request=request, frame=response, result=0))


def write_vectors(framing, out):
    for addr, value in ((0x13, 1), (0x14, 0)):
        request = packet(framing, WriteSingleCoilRequest(addr, bool(value)))
        out.append(line(kind="request", framing=framing, op="single", fc=5, type=BOOLEAN,
                        mode="logical", addr=addr, values=value, frame=request))
        response = packet(framing, WriteSingleCoilResponse(addr, bool(value)))
        out.append(line(kind="response", framing=framing, op="single", fc=5, type=BOOLEAN,
                        mode="logical", request=request, frame=response, result=0))

    for mode in ("logical", "register", "modicon"):
        for kind, value in ((UINT16, 4660), (INT16, -2), (UINT16, 0)):
            addr = 2
            register = value & 0xFFFF
            request = packet(framing,
                             WriteSingleRegisterRequest(wire_address(framing, mode, addr),
                                                        register))
            out.append(line(kind="request", framing=framing, op="single", fc=6, type=kind,
                            mode=mode, addr=addr, values=value, frame=request))
            response = packet(framing,
                              WriteSingleRegisterResponse(wire_address(framing, mode, addr),
                                                          register))
            out.append(line(kind="response", framing=framing, op="single", fc=6, type=kind,
                            mode=mode, request=request, frame=response, result=0))

    # An 8-bit value in the register modes travels as one register with high byte 00.
    for mode in ("register", "modicon"):
        request = packet(framing, WriteSingleRegisterRequest(wire_address(framing, mode, 3), 5))
        out.append(line(kind="request", framing=framing, op="single", fc=6, type=UINT8, mode=mode,
                        addr=3, values=5, frame=request))

    coil_sets = [[1, 0, 1, 1, 0, 0, 0, 0, 1, 1], [1], [0] * 8 + [1], [1, 1, 0] * 11]
    for addr, bits in zip((0x13, 0, 65535, 7), coil_sets):
        request = packet(framing, WriteMultipleCoilsRequest(addr, [bool(b) for b in bits]))
        out.append(line(kind="request", framing=framing, op="multiple", fc=15, type=BOOLEAN,
                        mode="logical", addr=addr, count=len(bits), values=text_of(BOOLEAN, bits),
                        frame=request))
        response = packet(framing, WriteMultipleCoilsResponse(addr, len(bits)))
        out.append(line(kind="response", framing=framing, op="multiple", fc=15, type=BOOLEAN,
                        mode="logical", request=request, frame=response, result=0))

    for mode in ("logical", "register", "modicon"):
        for kind, values in TYPED_VALUES.items():
            if mode == "logical" and kind not in (INT16, UINT16):
                continue  # Logical quantities count values, not registers
            addr = 100 + kind - 8050
            regs = registers(kind, values, word_swap=(kind == FLOAT and mode == "modicon"))
            request = packet(framing,
                             WriteMultipleRegistersRequest(wire_address(framing, mode, addr), regs))
            out.append(line(kind="request", framing=framing, op="multiple", fc=16, type=kind,
                            mode=mode, addr=addr, count=len(values), values=text_of(kind, values),
                            frame=request))
            response = packet(framing, WriteMultipleRegistersResponse(
                wire_address(framing, mode, addr), len(regs)))
            out.append(line(kind="response", framing=framing, op="multiple", fc=16, type=kind,
                            mode=mode, request=request, frame=response, result=0))
        if mode == "logical":
            continue
        # Single presets wider than 16 bits use function 16 in the register modes.
        for kind, value in ((INT32, -2), (UINT32, 305419896), (FLOAT, 1.0), (DOUBLE, 1.0)):
            regs = registers(kind, [value], word_swap=(kind == FLOAT and mode == "modicon"))
            request = packet(framing,
                             WriteMultipleRegistersRequest(wire_address(framing, mode, 9), regs))
            out.append(line(kind="request", framing=framing, op="single", fc=16, type=kind,
                            mode=mode, addr=9, values=text_of(kind, [value]), frame=request))
        for kind, values in ((UINT8, [1, 255, 0]), (INT8, [-1, 5])):
            regs = registers(kind, values)
            request = packet(framing,
                             WriteMultipleRegistersRequest(wire_address(framing, mode, 9), regs))
            out.append(line(kind="request", framing=framing, op="multiple", fc=16, type=kind,
                            mode=mode, addr=9, count=len(values), values=text_of(kind, values),
                            frame=request))
        strings = ["ABCD", "EF  "]
        request = packet(framing, WriteMultipleRegistersRequest(
            wire_address(framing, mode, 50), registers(STRING, strings)))
        out.append(line(kind="request", framing=framing, op="multiple", fc=16, type=STRING,
                        mode=mode, addr=50, count=2, size=4, values=text_of(STRING, strings),
                        frame=request))


def other_vectors(framing, out):
    request = packet(framing, ReadExceptionStatusRequest())
    out.append(line(kind="request", framing=framing, op="status", fc=7, frame=request))
    for status in (0x81, 0x00, 0xFF):
        response = packet(framing, ReadExceptionStatusResponse(status))
        out.append(line(kind="response", framing=framing, op="status", fc=7, values=status,
                        request=request, frame=response, result=0))

    for data in (1234, 0, 0xFFFF):
        request = packet(framing, ReturnQueryDataRequest(data))
        out.append(line(kind="request", framing=framing, op="diag", fc=8, values=data,
                        frame=request))
        response = packet(framing, ReturnQueryDataResponse(data))
        out.append(line(kind="response", framing=framing, op="diag", fc=8, request=request,
                        frame=response, result=0))

    for fc, request_class in ((3, ReadHoldingRegistersRequest), (1, ReadCoilsRequest)):
        request = packet(framing, request_class(0, 1))
        for code, result in EXCEPTION_RESULTS.items():
            response = packet(framing, ExceptionResponse(fc, code))
            out.append(line(kind="response", framing=framing, op="read", fc=fc,
                            type=UINT16 if fc == 3 else BOOLEAN, mode="logical", count=1,
                            request=request, frame=response, result=result))


def main():
    out = []
    for framing in ("rtu", "ascii", "tcp"):
        read_vectors(framing, out)
        write_vectors(framing, out)
        other_vectors(framing, out)
    target = sys.argv[1] if len(sys.argv) > 1 else "golden_frames.txt"
    with open(target, "w", encoding="ascii") as handle:
        handle.write("# Generated by make_golden.py with pymodbus; do not edit.\n")
        handle.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
