// Receives Art-Net with the npm package `dmxnet` and prints the channels of
// every ArtDmx it hands over as one JSON line. Usage:
// node artnet_receiver.js PORT PORT_ADDRESS... Prints {"ready": true} once
// listening. dmxnet answers polls on every interface's broadcast address,
// so this refuses to run unless loopback is the only interface (the tests
// start it in a network namespace of their own).
'use strict';
const { onlyLoopback } = require('./loopback_only');
onlyLoopback();
const dmxlib = require('./peers/node_modules/dmxnet');

const port = Number(process.argv[2]);
const addresses = process.argv.slice(3).map(Number);
const print = (object) => process.stdout.write(JSON.stringify(object) + '\n');
const dmxnet = new dmxlib.dmxnet({ listen: port, log: { level: 'error' } });
for (const address of addresses) {
  const receiver = dmxnet.newReceiver({ net: address >> 8, subuni: address & 0xff });
  // subuni 0 counts as "not given" in dmxnet; sub-net and universe then give 0 as well.
  receiver.on('data', (data) => {
    print({ kind: 'data', universe: address, data: Buffer.from(data).toString('hex') });
  });
}
dmxnet.listener4.on('listening', () => setTimeout(() => print({ ready: true }), 100));
