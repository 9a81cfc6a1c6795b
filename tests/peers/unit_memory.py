"""The register contents every Python test unit serves (addresses from 0, 100 of each):
coils on where address % 3 == 0, discrete inputs on where the address is even, holding
registers 3 * address + 1, input registers 1000 + address. One unit answers every id."""
from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext

SIZE = 100


def make_context():
    unit = ModbusSlaveContext(
        co=ModbusSequentialDataBlock(0, [a % 3 == 0 for a in range(SIZE)]),
        di=ModbusSequentialDataBlock(0, [a % 2 == 0 for a in range(SIZE)]),
        hr=ModbusSequentialDataBlock(0, [3 * a + 1 for a in range(SIZE)]),
        ir=ModbusSequentialDataBlock(0, [1000 + a for a in range(SIZE)]),
        zero_mode=True,
    )
    return ModbusServerContext(slaves=unit, single=True)
