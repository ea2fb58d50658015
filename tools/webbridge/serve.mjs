// Serves the page with its simulated device, for trying it without hardware:
//   node serve.mjs --site DIR --simulator PROGRAM [--port N] [-- simulator options]
// Prints the address to open, and runs until Ctrl+C.
import { startBridge } from './bridge.mjs';

const args = process.argv.slice(2);
const options = { simArgs: [] };
for (let i = 0; i < args.length; i++) {
  if (args[i] === '--') { options.simArgs = args.slice(i + 1); break; }
  const value = args[++i];
  if (value === undefined) throw new Error(`serve: ${args[i - 1]} needs a value`);
  if (args[i - 1] === '--site') options.site = value;
  else if (args[i - 1] === '--simulator') options.simulator = value;
  else if (args[i - 1] === '--port') options.port = Number(value);
  else throw new Error(`serve: unknown option ${args[i - 1]}`);
}
const bridge = await startBridge(options);
console.log(`serve: open ${bridge.url} in Chromium, Chrome or Edge; the simulated device is`);
console.log('serve: the port COM1 granted to the page (each opening starts a fresh device).');
console.log('serve: Ctrl+C stops.');
process.on('SIGINT', async () => { await bridge.close(); process.exit(0); });
process.on('SIGTERM', async () => { await bridge.close(); process.exit(0); });
