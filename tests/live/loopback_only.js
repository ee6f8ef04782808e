// Refuses to go on unless loopback is the only network interface this
// process can see: the receivers here must never answer or announce onto a
// real network. /proc/net/dev lists the interfaces of the process's own
// network namespace.
'use strict';
const fs = require('fs');
const os = require('os');

exports.onlyLoopback = () => {
  const devices = fs.readFileSync('/proc/net/dev', 'utf8').split('\n').slice(2)
    .map((line) => line.split(':')[0].trim()).filter((name) => name !== '');
  const named = Object.keys(os.networkInterfaces());
  const others = [...devices, ...named].filter((name) => name !== 'lo');
  if (others.length > 0) {
    process.stderr.write(`refusing to run: interfaces besides loopback (${others.join(', ')}); ` +
                         "run inside 'unshare -rn'\n");
    process.exit(3);
  }
};
