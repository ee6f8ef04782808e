// Refuses to go on unless loopback is this machine's only network interface:
// the receivers here must never answer or announce onto a real network.
'use strict';
const os = require('os');

exports.onlyLoopback = () => {
  const names = Object.keys(os.networkInterfaces()).filter((name) => name !== 'lo');
  const fs = require('fs');
  const all = fs.readdirSync('/sys/class/net').filter((name) => name !== 'lo');
  if (names.length > 0 || all.length > 0) {
    process.stderr.write(`refusing to run: interfaces besides loopback (${[...names, ...all].join(', ')}); ` +
                         "run inside 'unshare -rn'\n");
    process.exit(3);
  }
};
