/* A Modbus RTU unit on a serial device built on libmodbus, for the serial exchange's integration
 * tests. Usage: serial_libmodbus_rtu_unit DEVICE. Opens DEVICE at 19200 8N1 as unit 1, prints "1"
 * on stdout once it listens, and answers until stdin closes. Register contents (addresses from 0,
 * 100 of each) match the pymodbus unit: coils on where address % 3 == 0, discrete inputs on where
 * address is even, holding registers 3 * address + 1, input registers 1000 + address. */
#include "unit_memory.h"

#include <modbus.h>
#include <stdio.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    modbus_t* ctx = modbus_new_rtu(argv[1], 19200, 'N', 8, 1);
    modbus_mapping_t* map = newUnitMemory();
    if (ctx == NULL || map == NULL || modbus_set_slave(ctx, 1) != 0 || modbus_connect(ctx) != 0)
        return 1;
    printf("1\n");
    fflush(stdout);

    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    for (;;) {
        const int events = waitForPeer(modbus_get_socket(ctx));
        if (events < 0)
            break;
        if (events == 0)
            continue;
        int length = modbus_receive(ctx, query);
        if (length > 0)
            modbus_reply(ctx, query, length, map);
        else if (length < 0 && events & (POLLHUP | POLLERR))
            break;
    }
    modbus_close(ctx);
    modbus_mapping_free(map);
    modbus_free(ctx);
    return 0;
}
