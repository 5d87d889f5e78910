// Debug sessions of type "quill": a launch starts `quill dap`, which speaks the
// Debug Adapter Protocol on its standard input and output; an attach connects to
// a window started with `quillomar --debug-port N`, which speaks it on that port.
'use strict';

const vscode = require('vscode');

function adapterFor(session) {
  const config = session.configuration;
  if (config.request === 'attach') {
    return new vscode.DebugAdapterServer(Number(config.port), '127.0.0.1');
  }
  const quill = vscode.workspace.getConfiguration('quill').get('path', 'quill');
  return new vscode.DebugAdapterExecutable(quill, ['dap']);
}

// F5 without a launch.json: debug the .tasm in the editor.
function resolveDebugConfiguration(folder, config) {
  if (config.type || config.request || config.name) return config;
  const editor = vscode.window.activeTextEditor;
  if (!editor || editor.document.languageId !== 'tasm') return config;
  return { type: 'quill', request: 'launch', name: 'Debug the current .tasm', program: '${file}' };
}

function activate(context) {
  context.subscriptions.push(
    vscode.debug.registerDebugAdapterDescriptorFactory('quill', { createDebugAdapterDescriptor: adapterFor }),
    vscode.debug.registerDebugConfigurationProvider('quill', { resolveDebugConfiguration }),
  );
}

function deactivate() {}

module.exports = { activate, deactivate };
