// Receives E1.31 with the npm package `sacn` (its Receiver) and prints every
// data packet as one JSON line. Usage: node sacn_receiver.js PORT UNIVERSE...
// Prints {"ready": true} once listening. Only loopback may exist: the tests
// run it inside their own network namespace.
'use strict';
const { onlyLoopback } = require('./loopback_only');
onlyLoopback();
const { Receiver } = require('./peers/node_modules/sacn');

const port = Number(process.argv[2]);
const universes = process.argv.slice(3).map(Number);
const receiver = new Receiver({ universes, port, iface: '127.0.0.1' });
const print = (object) => process.stdout.write(JSON.stringify(object) + '\n');

receiver.on('packet', (packet) => {
  const data = packet.payloadAsBuffer;
  print({
    kind: 'data',
    universe: packet.universe,
    sequence: packet.sequence,
    priority: packet.priority,
    sync: packet.syncUniverse,
    options: packet.options,
    source: packet.sourceName,
    cid: packet.cid.toString('hex'),
    data: data ? data.toString('hex') : null,
  });
});
receiver.on('PacketCorruption', (error) => print({ kind: 'corrupt', message: String(error) }));
receiver.on('PacketOutOfOrder', (error) => print({ kind: 'order', message: String(error) }));
receiver.on('error', (error) => print({ kind: 'error', message: String(error) }));
receiver.socket.on('listening', () => setTimeout(() => print({ ready: true }), 100));
