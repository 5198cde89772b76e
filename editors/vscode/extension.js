// Starts 'scenario-tool lsp' for the scenario sources open in the editor; the server does the
// rest (problems, quick fixes, hover, completion, outline, folding).
const vscode = require('vscode');
const { LanguageClient } = require('vscode-languageclient/node');

let client;

function activate(context) {
  const tool = vscode.workspace.getConfiguration('scenarioSources').get('tool') || 'scenario-tool';
  const server = { command: tool, args: ['lsp'] };
  client = new LanguageClient('scenarioSources', 'Scenario sources', server, {
    documentSelector: [{ scheme: 'file', language: 'scenario-source' }],
    // Which inlay hints are shown, at the start and whenever the settings change.
    initializationOptions: {
      inlayHints: vscode.workspace.getConfiguration('scenarioSources').get('inlayHints'),
    },
    synchronize: { configurationSection: 'scenarioSources' },
  });
  context.subscriptions.push({ dispose: () => client && client.stop() });
  return client.start();
}

function deactivate() {
  return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };
