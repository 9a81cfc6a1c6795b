#ifndef VANTREL_TESTS_UNIT_MEMORY_H
#define VANTREL_TESTS_UNIT_MEMORY_H

/* The register contents every libmodbus test unit serves, the same as unit_memory.py: 100 of
   each kind from address 0; coils on where address % 3 == 0, discrete inputs on where the
   address is even, holding registers 3 * address + 1, input registers 1000 + address. */

#include <modbus.h>
#include <poll.h>
#include <stdint.h>
#include <unistd.h>

enum { kSize = 100 };

static inline modbus_mapping_t* newUnitMemory(void) {
    modbus_mapping_t* map = modbus_mapping_new(kSize, kSize, kSize, kSize);
    if (map == NULL)
        return NULL;
    for (int a = 0; a < kSize; ++a) {
        map->tab_bits[a] = a % 3 == 0;
        map->tab_input_bits[a] = a % 2 == 0;
        map->tab_registers[a] = (uint16_t)(3 * a + 1);
        map->tab_input_registers[a] = (uint16_t)(1000 + a);
    }
    return map;
}

/* Waits until `fd` is ready or the test closes standard input, which ends a unit. Returns the poll
   events of `fd`, 0 when nothing came for it, or -1 once standard input has closed. */
static inline int waitForPeer(int fd) {
    struct pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {fd, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0)
        return 0;
    if (fds[0].revents) {
        char buf[64];
        if (read(STDIN_FILENO, buf, sizeof buf) <= 0)
            return -1;
    }
    return fds[1].revents;
}

#endif
