// quill dap end to end: real adapter processes driven by the protocol's own
// client library over standard input and output (and once over --port).
// QUILL names the built quill binary.
'use strict';
const { test } = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const cp = require('node:child_process');

const QUILL = process.env.QUILL;
if (!QUILL) throw new Error('QUILL must name the built quill binary');
try {
  require.resolve('@vscode/debugadapter-testsupport');
} catch {
  throw new Error('the test client is missing: run scripts/install-deps (npm ci in tests/dap)');
}
const { DebugClient } = require('@vscode/debugadapter-testsupport');
// The machines that run these are shared and slow at times: wait as long as it takes.
const PATIENCE_MS = 3600 * 1000;

// main calls double with 5, stores 42 through `call 4 5` into slot, waits for a key and halts.
const PROGRAM = `main:
  lit 3
  push 0
  jsr double, 5
  push 1
  nil
  push 4
  lit 42
  push 5
  lit slot
  call 4 5
  sys -320004
  sys -320002
  halt
double:
  push 2
  push 2
  add 2 2
  ret
slot:
  .zero 4
`;

// Calls itself until the call stack overflows.
const FAILING = `main:
  jsr down, 5
  halt
down:
  push 1
  jsr down
  ret
`;

function folder() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quill-dap-'));
  fs.writeFileSync(path.join(dir, 'e.tasm'), PROGRAM);
  fs.writeFileSync(path.join(dir, 'fail.tasm'), FAILING);
  return dir;
}

async function session(t, port) {
  const dc = new DebugClient(QUILL, 'dap', 'quill');
  dc.defaultTimeout = PATIENCE_MS;
  await dc.start(port);
  if (port === undefined) t.after(() => dc.stop());  // over a port the test disconnects itself
  return dc;
}

// Launches and configures; resolves with the first stopped event (or null when none is awaited).
async function launch(dc, args, setup = async () => {}, awaitStop = true) {
  const stopped = awaitStop ? dc.waitForEvent('stopped') : null;
  await Promise.all([
    dc.waitForEvent('initialized').then(setup).then(() => dc.configurationDoneRequest()),
    dc.initializeRequest({ adapterID: 'quill', linesStartAt1: true, columnsStartAt1: true }).then(() =>
      dc.launchRequest(args)),
  ]);
  return stopped;
}

async function top(dc) {
  const trace = await dc.stackTraceRequest({ threadId: 1 });
  return trace.body.stackFrames;
}

// Runs `request` and returns the stopped event it leads to.
async function stopAfter(dc, request) {
  const [event] = await Promise.all([dc.waitForEvent('stopped'), request]);
  return event.body;
}

test('breakpoints, stepping over and out of calls, going back, stacks', async (t) => {
  const dir = folder();
  const source = path.join(dir, 'e.tasm');
  const dc = await session(t);
  const first = await launch(dc, { program: source, keys: 'A' }, async () => {
    const lines = await dc.setBreakpointsRequest({ source: { path: source }, breakpoints: [{ line: 4 }, { line: 20 }] });
    assert.deepStrictEqual(lines.body.breakpoints.map((b) => [b.verified, b.line]), [[true, 4], [false, undefined]]);
    const labels = await dc.setFunctionBreakpointsRequest({ breakpoints: [{ name: 'double' }, { name: 'nowhere' }] });
    assert.deepStrictEqual(labels.body.breakpoints.map((b) => [b.verified, b.line]), [[true, 16], [false, undefined]]);
  });
  assert.strictEqual((await first).body.reason, 'breakpoint');
  assert.strictEqual((await top(dc))[0].line, 4);

  let stop = await stopAfter(dc, dc.continueRequest({ threadId: 1 }));
  assert.strictEqual(stop.reason, 'function breakpoint');
  const frames = await top(dc);
  assert.deepStrictEqual(frames.map((f) => [f.name, f.line, f.source.path]),
    [['double', 16, source], ['main+19', 5, source]]);

  await stopAfter(dc, dc.stepInRequest({ threadId: 1 }));
  await stopAfter(dc, dc.stepInRequest({ threadId: 1 }));
  const scopes = await dc.scopesRequest({ frameId: 0 });
  const stacks = scopes.body.scopes.find((s) => s.name === 'Stacks');
  const all = (await dc.variablesRequest({ variablesReference: stacks.variablesReference })).body.variables;
  assert.strictEqual(all.length, 20);
  const two = all.find((v) => v.name === 'stack 2');
  assert.strictEqual(two.value, '[5, 5] (top last)');
  const items = (await dc.variablesRequest({ variablesReference: two.variablesReference })).body.variables;
  assert.deepStrictEqual(items.map((v) => v.value), ['5', '5']);
  // The caller's frame keeps its own stacks: main pushed 3 on stack 0.
  const callerScopes = await dc.scopesRequest({ frameId: 1 });
  const callerStacks = callerScopes.body.scopes.find((s) => s.name === 'Stacks');
  const callerAll = (await dc.variablesRequest({ variablesReference: callerStacks.variablesReference })).body.variables;
  assert.strictEqual(callerAll.find((v) => v.name === 'stack 0').value, '[3] (top last)');

  stop = await stopAfter(dc, dc.stepOutRequest({ threadId: 1 }));
  assert.strictEqual(stop.reason, 'step');
  assert.deepStrictEqual((await top(dc)).map((f) => f.line), [5]);
  await assert.rejects(dc.stepOutRequest({ threadId: 1 }), /not inside a call/);

  await stopAfter(dc, dc.stepBackRequest({ threadId: 1 }));
  assert.deepStrictEqual((await top(dc)).map((f) => f.line), [19, 5]);
  stop = await stopAfter(dc, dc.reverseContinueRequest({ threadId: 1 }));
  assert.strictEqual(stop.reason, 'function breakpoint');
  assert.deepStrictEqual((await top(dc)).map((f) => f.line), [16, 5]);
  stop = await stopAfter(dc, dc.reverseContinueRequest({ threadId: 1 }));
  assert.strictEqual(stop.reason, 'breakpoint');
  assert.deepStrictEqual((await top(dc)).map((f) => f.line), [4]);

  // Over the call as a whole, then on to the end: the launch's key lets it halt.
  await stopAfter(dc, dc.setFunctionBreakpointsRequest({ breakpoints: [] }).then(() => dc.nextRequest({ threadId: 1 })));
  assert.deepStrictEqual((await top(dc)).map((f) => f.line), [5]);
  const [exited] = await Promise.all([dc.waitForEvent('exited'), dc.waitForEvent('terminated'),
    dc.continueRequest({ threadId: 1 })]);
  assert.strictEqual(exited.body.exitCode, 0);
});

test('memory, disassembly, evaluate and a data breakpoint', async (t) => {
  const dir = folder();
  const dc = await session(t);
  const entry = await launch(dc, { program: path.join(dir, 'e.tasm'), stopOnEntry: true, keys: 'A' });
  assert.strictEqual((await entry).body.reason, 'entry');

  const pc = await dc.evaluateRequest({ expression: 'pc', context: 'repl' });
  assert.match(pc.body.result, /^216679 main \(.*e\.tasm:2\)/);
  const slot = await dc.evaluateRequest({ expression: 'slot', context: 'hover' });
  assert.match(slot.body.result, /^\d+ slot/);
  assert.strictEqual((await dc.evaluateRequest({ expression: 'acc', context: 'repl' })).body.result, 'nil');
  await assert.rejects(dc.evaluateRequest({ expression: 'nowhere', context: 'repl' }), /no such location/);

  // One byte per tryte, its value: the symbols `x` shows at the same address.
  const alphabet = '-01=23<456789.ABCDEF>GH~IJ+';
  const memory = await dc.customRequest('readMemory', { memoryReference: '216679', count: 6 });
  const bytes = [...Buffer.from(memory.body.data, 'base64')];
  const shown = (await dc.evaluateRequest({ expression: 'x 216679 6', context: 'repl' })).body.result;
  assert.strictEqual(shown, '216679: ' + bytes.map((b) => alphabet[b]).join(''));
  const end = await dc.customRequest('readMemory', { memoryReference: '63999999', count: 3 });
  assert.strictEqual(end.body.unreadableBytes, 2);

  const second = await dc.disassembleRequest({ memoryReference: '216679', instructionOffset: 1, instructionCount: 1 });
  const listing = await dc.disassembleRequest({
    memoryReference: second.body.instructions[0].address, instructionOffset: -1, instructionCount: 3 });
  assert.deepStrictEqual(listing.body.instructions.map((i) => [i.instruction, i.line]),
    [['lit 3', 2], ['push 0', 3], [listing.body.instructions[2].instruction, 4]]);
  assert.strictEqual(listing.body.instructions[0].symbol, 'main');

  const before = (await dc.evaluateRequest({ expression: 'x slot 4', context: 'repl' })).body.result;
  const info = await dc.dataBreakpointInfoRequest({ name: 'slot..slot+3' });
  const set = await dc.setDataBreakpointsRequest({ breakpoints: [{ dataId: info.body.dataId }] });
  assert.strictEqual(set.body.breakpoints[0].verified, true);
  const stop = await stopAfter(dc, dc.continueRequest({ threadId: 1 }));
  assert.strictEqual(stop.reason, 'data breakpoint');
  assert.match(stop.description, /main\+35/);
  assert.strictEqual((await top(dc))[0].line, 12);
  const after = (await dc.evaluateRequest({ expression: 'x slot 4', context: 'repl' })).body.result;
  assert.notStrictEqual(after, before);
});

test('a failing program stops with its failure, then exits with 1', async (t) => {
  const dir = folder();
  const dc = await session(t);
  const output = dc.assertOutput('stderr', 'stopped: call stack overflow');
  const stopped = await launch(dc, { program: path.join(dir, 'fail.tasm') });
  const stop = (await stopped).body;
  await output;
  assert.strictEqual(stop.reason, 'exception');
  assert.strictEqual(stop.text, 'call stack overflow');
  assert.strictEqual((await top(dc)).length, 20);
  const [exited] = await Promise.all([dc.waitForEvent('exited'), dc.continueRequest({ threadId: 1 })]);
  assert.strictEqual(exited.body.exitCode, 1);
});

test('a program that waits for keys keeps running until they come', async (t) => {
  const dir = folder();
  const dc = await session(t);
  const stops = [];
  dc.on('stopped', (e) => stops.push(e.body.reason));
  await launch(dc, { program: path.join(dir, 'e.tasm') }, async () => {}, false);
  // Running: threads answers, looking does not, pause stops it.
  assert.strictEqual((await dc.threadsRequest()).body.threads[0].id, 1);
  await stopAfter(dc, dc.pauseRequest({ threadId: 1 }));
  assert.deepStrictEqual(stops, ['pause']);
  await dc.continueRequest({ threadId: 1 });
  await assert.rejects(dc.evaluateRequest({ expression: 'acc', context: 'repl' }), /running/);
  const [exited] = await Promise.all([dc.waitForEvent('exited'),
    dc.evaluateRequest({ expression: 'keys A', context: 'repl' })]);
  assert.strictEqual(exited.body.exitCode, 0);
  assert.deepStrictEqual(stops, ['pause']);
});

test('an image with its map, over a loopback port', async (t) => {
  const dir = folder();
  const image = path.join(dir, 'e.tern');
  const map = path.join(dir, 'e.map');
  cp.execFileSync(QUILL, ['asm', path.join(dir, 'e.tasm'), '-o', image, '--map', map]);
  const server = cp.spawn(QUILL, ['dap', '--port', '0'], { stdio: ['ignore', 'ignore', 'pipe'] });
  const port = await new Promise((resolve) => {
    let text = '';
    server.stderr.on('data', (d) => {
      text += d;
      const found = /127\.0\.0\.1:(\d+)/.exec(text);
      if (found) resolve(Number(found[1]));
    });
  });
  const closed = new Promise((resolve) => server.on('exit', resolve));
  const dc = await session(t, port);
  const first = await launch(dc, { program: image, map, keys: 'A' }, async () => {
    const labels = await dc.setFunctionBreakpointsRequest({ breakpoints: [{ name: 'double' }] });
    assert.strictEqual(labels.body.breakpoints[0].line, 16);
  });
  assert.strictEqual((await first).body.reason, 'function breakpoint');
  assert.deepStrictEqual((await top(dc)).map((f) => f.line), [16, 5]);
  const [exited] = await Promise.all([dc.waitForEvent('exited'), dc.continueRequest({ threadId: 1 })]);
  assert.strictEqual(exited.body.exitCode, 0);
  await dc.disconnectRequest({});
  assert.strictEqual(await closed, 0);
});
