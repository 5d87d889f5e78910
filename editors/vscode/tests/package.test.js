// The debugger contribution as VS Code reads it, and the adapters extension.js
// starts, against a stand-in for the `vscode` module.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const Module = require('node:module');
const path = require('node:path');

const root = path.join(__dirname, '..');
const manifest = JSON.parse(fs.readFileSync(path.join(root, 'package.json'), 'utf8'));
const debuggerOf = manifest.contributes.debuggers.find((d) => d.type === 'quill');

test('every launch and attach attribute is declared with a type and a description', () => {
  const expected = {
    launch: ['program', 'map', 'symbols', 'keys', 'speed', 'stopOnEntry', 'entry'],
    attach: ['port', 'map', 'symbols'],
  };
  for (const [request, names] of Object.entries(expected)) {
    const properties = debuggerOf.configurationAttributes[request].properties;
    assert.deepStrictEqual(Object.keys(properties).sort(), [...names].sort(), request);
    for (const [name, property] of Object.entries(properties)) {
      assert.ok(property.type && property.description, `${request}.${name}`);
    }
  }
});

test('the ready configurations use only declared attributes and name their requirements', () => {
  const bodies = [...debuggerOf.initialConfigurations, ...debuggerOf.configurationSnippets.map((s) => s.body)];
  for (const config of bodies) {
    const attributes = debuggerOf.configurationAttributes[config.request];
    assert.strictEqual(config.type, 'quill');
    for (const required of attributes.required) assert.ok(required in config, `${config.name}: ${required}`);
    for (const key of Object.keys(config)) {
      assert.ok(['type', 'request', 'name'].includes(key) || key in attributes.properties, `${config.name}: ${key}`);
    }
  }
  const attach = debuggerOf.initialConfigurations.find((c) => c.request === 'attach');
  assert.strictEqual(attach.port, 4711);
});

// Loads extension.js with `vscode` replaced, and returns the factory it registers.
function loadFactory(quillPath) {
  const registered = {};
  const vscode = {
    DebugAdapterExecutable: class { constructor(command, args) { Object.assign(this, { command, args }); } },
    DebugAdapterServer: class { constructor(port, host) { Object.assign(this, { port, host }); } },
    workspace: { getConfiguration: () => ({ get: (key, fallback) => (quillPath === undefined ? fallback : quillPath) }) },
    window: {},
    debug: {
      registerDebugAdapterDescriptorFactory: (type, factory) => (registered.factory = factory),
      registerDebugConfigurationProvider: (type, provider) => (registered.provider = provider),
    },
  };
  const load = Module._load;
  Module._load = (request, ...rest) => (request === 'vscode' ? vscode : load(request, ...rest));
  try {
    delete require.cache[require.resolve(path.join(root, manifest.main))];
    require(path.join(root, manifest.main)).activate({ subscriptions: [] });
  } finally {
    Module._load = load;
  }
  return registered.factory;
}

test('a launch starts `quill dap` and an attach connects to the window on 127.0.0.1', () => {
  const launch = loadFactory(undefined).createDebugAdapterDescriptor({ configuration: { request: 'launch' } });
  assert.deepStrictEqual({ ...launch }, { command: 'quill', args: ['dap'] });
  const custom = loadFactory('/opt/quill/bin/quill').createDebugAdapterDescriptor({ configuration: { request: 'launch' } });
  assert.strictEqual(custom.command, '/opt/quill/bin/quill');
  const attach = loadFactory(undefined).createDebugAdapterDescriptor({ configuration: { request: 'attach', port: '4711' } });
  assert.deepStrictEqual({ ...attach }, { port: 4711, host: '127.0.0.1' });
});
