// Attaching to a running window (quillomar --debug-port). Run by the window's
// end-to-end script, which starts quillomar on the window test's program and
// passes QUILLOMAR_PORT, WINDOW (the X window), MAP and SOURCE; skipped elsewhere.
// The program waits for keys; each key it takes passes SOURCE's `jne wrong, 1`.
'use strict';
const { test } = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const cp = require('node:child_process');
const { DebugClient } = require('@vscode/debugadapter-testsupport');

const PORT = Number(process.env.QUILLOMAR_PORT || 0);
const { WINDOW, MAP, SOURCE } = process.env;
const PATIENCE_MS = 3600 * 1000;  // shared, slow machines: wait as long as it takes
const skip = PORT === 0 && 'run by tests/app/e2e/window_e2e.sh against a live window';

// Types into the window through X, as a person would.
function xkeys(...keys) {
  cp.execFileSync('xdotool', ['windowfocus', '--sync', WINDOW, 'key', '--delay', '30', ...keys]);
}

async function attach() {
  const dc = new DebugClient('unused', 'unused', 'quill');
  dc.defaultTimeout = PATIENCE_MS;
  await dc.start(PORT);
  const stopped = dc.waitForEvent('stopped');
  try {
    await Promise.all([
      dc.waitForEvent('initialized').then(() => dc.configurationDoneRequest()),
      dc.initializeRequest({ adapterID: 'quill', linesStartAt1: true, columnsStartAt1: true }).then(() =>
        dc.attachRequest({ map: MAP })),
    ]);
  } catch (error) {
    dc.stopAdapter();  // the listener serves one client at a time
    throw error;
  }
  assert.strictEqual((await stopped).body.reason, 'pause');
  return dc;
}

test('attach, break where a key is taken, read acc, continue and detach; the window keeps its keys', { skip },
  async () => {
    const line = fs.readFileSync(SOURCE, 'utf8').split('\n').findIndex((l) => /^\s*jne wrong, 1/.test(l)) + 1;
    const dc = await attach();
    const set = await dc.setBreakpointsRequest({ source: { path: SOURCE }, breakpoints: [{ line }] });
    assert.ok(set.body.breakpoints[0].verified);
    const hit = dc.waitForEvent('stopped');
    await dc.continueRequest({ threadId: 1 });
    xkeys('a');  // the window takes it while attached and running
    assert.strictEqual((await hit).body.reason, 'breakpoint');
    const frames = (await dc.stackTraceRequest({ threadId: 1 })).body.stackFrames;
    assert.strictEqual(frames[0].line, line);
    assert.strictEqual((await dc.evaluateRequest({ expression: 'acc', context: 'repl' })).body.result, '60');  // 'a'
    await dc.continueRequest({ threadId: 1 });
    await dc.disconnectRequest({});  // the machine runs on without breakpoints
    dc.stopAdapter();
  });

test('F5 in the window ends an attached session and a new one attaches to the restarted machine', { skip },
  async () => {
    const dc = await attach();
    // Told that the program terminated, or, when the adapter was too slow to say so
    // before the window cut it off, the connection closes.
    const ended = new Promise((resolve) => {
      dc.once('terminated', resolve);
      dc._socket.once('close', resolve);
    });
    await dc.continueRequest({ threadId: 1 });
    xkeys('F5');
    await ended;
    dc.stopAdapter();
    // Until the new machine runs, an attach is told that the machine has ended.
    let again = null;
    for (let tries = 0; again === null; ++tries) {
      again = await attach().catch((error) => {
        if (tries > 300) throw error;
        return new Promise((resolve) => setTimeout(() => resolve(null), 100));
      });
    }
    const pc = (await again.evaluateRequest({ expression: 'pc', context: 'repl' })).body.result;
    assert.match(pc, / wait\+/);  // the restarted program waits for its first key again
    await again.disconnectRequest({});
    again.stopAdapter();
  });
