/* A Modbus/TCP unit on 127.0.0.1 built on libmodbus, for the engine's integration tests and
 * benchmark. Listens on a port the kernel chooses, prints it on stdout, and serves one connection
 * at a time until stdin closes. Register contents (addresses from 0, 100 of each) match the
 * pymodbus unit: coils on where address % 3 == 0, discrete inputs on where address is even,
 * holding registers 3 * address + 1, input registers 1000 + address. */
#include "unit_memory.h"

#include <arpa/inet.h>
#include <modbus.h>
#include <netinet/in.h>
#include <stdio.h>
#include <sys/socket.h>
#include <unistd.h>

static int listenOnLoopback(void) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    struct sockaddr_in addr = {0};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (bind(fd, (struct sockaddr*)&addr, sizeof addr) != 0 || listen(fd, 4) != 0) {
        close(fd);
        return -1;
    }
    socklen_t len = sizeof addr;
    getsockname(fd, (struct sockaddr*)&addr, &len);
    printf("%d\n", ntohs(addr.sin_port));
    fflush(stdout);
    return fd;
}

int main(void) {
    int listener = listenOnLoopback();
    if (listener < 0)
        return 1;
    /* The address only names the context; the connections come from our own listener. */
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", 502);
    modbus_mapping_t* map = newUnitMemory();
    if (ctx == NULL || map == NULL)
        return 1;

    uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
    int client = -1;
    for (;;) {
        const int events = waitForPeer(client >= 0 ? client : listener);
        if (events < 0)
            break;
        if (events == 0)
            continue;
        if (client < 0) {
            client = accept(listener, NULL, NULL);
            modbus_set_socket(ctx, client);
            continue;
        }
        int length = modbus_receive(ctx, query);
        if (length > 0) {
            modbus_reply(ctx, query, length, map);
        } else if (length < 0) {
            close(client);
            client = -1;
        }
    }
    if (client >= 0)
        close(client);
    close(listener);
    modbus_mapping_free(map);
    modbus_free(ctx);
    return 0;
}
