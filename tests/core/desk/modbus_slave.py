#!/usr/bin/python3
"""Modbus slaves from pymodbus for the desk test's tests, over TCP on 127.0.0.1 or RTU on a serial device.

    modbus_slave.py VALUES.json tcp
    modbus_slave.py VALUES.json rtu DEVICE BAUD PARITY STOPBITS

VALUES.json maps each slave's address to its holding ("hr") and input ("ir") registers, {"1": {"hr": {"0": 12000}}}.
Each kind holds the registers from 0 to the highest one given, so a read beyond that is refused with exception 02;
a slave the file does not name stays silent. Prints "ready PORT" (TCP) or "ready" once it serves.
"""

import asyncio
import json
import logging
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from pymodbus.server import StartAsyncSerialServer, StartAsyncTcpServer


def block(registers):
    values = [0] * (max((int(address) for address in registers), default=-1) + 1)
    for address, value in registers.items():
        values[int(address)] = value
    return ModbusSequentialDataBlock(0, values or [0])


def context(values):
    slaves = {}
    for slave, kinds in values.items():
        slaves[int(slave)] = ModbusSlaveContext(
            hr=block(kinds.get("hr", {})), ir=block(kinds.get("ir", {})), zero_mode=True)
    return ModbusServerContext(slaves=slaves, single=False)


async def main():
    logging.disable(logging.CRITICAL)
    with open(sys.argv[1], encoding="utf-8") as file:
        slaves = context(json.load(file))
    if sys.argv[2] == "tcp":
        server = await StartAsyncTcpServer(
            context=slaves, address=("127.0.0.1", 0), defer_start=True, ignore_missing_slaves=True)
        serving = asyncio.create_task(server.serve_forever())
        await server.serving
        print("ready", server.server.sockets[0].getsockname()[1], flush=True)
        await serving
    else:
        device, baud, parity, stop = sys.argv[3], int(sys.argv[4]), sys.argv[5], int(sys.argv[6])
        server = await StartAsyncSerialServer(
            context=slaves, framer=ModbusRtuFramer, port=device, baudrate=baud, parity=parity, stopbits=stop,
            bytesize=8, defer_start=True, ignore_missing_slaves=True)
        await server.start()
        print("ready", flush=True)
        await server.serve_forever()


asyncio.run(main())
