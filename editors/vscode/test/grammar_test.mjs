// The grammar of the scenario sources (the path given, else ../syntaxes/scenario.tmLanguage.json)
// tokenized with the TextMate engine Visual Studio Code runs: each case a source line, a piece of
// it and the scope that piece must carry (or, with `not`, must not). Prints each failure; exits 1
// when any does not hold.
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import oniguruma from 'vscode-oniguruma';
import textmate from 'vscode-textmate';

const here = dirname(fileURLToPath(import.meta.url));
const require = createRequire(import.meta.url);
const grammarPath = process.argv[2] ?? join(here, '..', 'syntaxes', 'scenario.tmLanguage.json');
const wasm = readFileSync(join(dirname(require.resolve('vscode-oniguruma')), 'onig.wasm'));
await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
const registry = new textmate.Registry({
  onigLib: Promise.resolve({
    createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
    createOnigString: (text) => new oniguruma.OnigString(text),
  }),
  loadGrammar: async () =>
    textmate.parseRawGrammar(
      readFileSync(grammarPath, 'utf8'),
      'scenario.tmLanguage.json'),
});
const grammar = await registry.loadGrammar('source.scenario');

const cases = [
  ['[generale]', 'generale', 'entity.name.section.scenario'],
  ['lunghezza percorso,    50000', 'lunghezza percorso', 'keyword.other.row.scenario'],
  ['lunghezza percorso,    50000', '50000', 'constant.numeric.scenario'],
  ['pendenza,  500,   -3', 'pendenza', 'keyword.other.row.scenario'],
  ['pendenza,  500,   -3', '-3', 'constant.numeric.scenario'],
  ['pendenza,  500,   -3', ',', 'punctuation.separator.field.scenario'],
  ['PENDENZA, 500, 3', 'PENDENZA', 'keyword.other.row.scenario'],
  ['curvad4, 1000, 200', 'curvad4', 'keyword.other.row.scenario'],
  ['cartello_indicatore,  2100,   (Cippo Km.)( 37+000  )', '(Cippo Km.)',
    'string.quoted.other.board.scenario'],
  ['cartello_indicatore,  2100,   (Cippo Km.)( 37+000  )', '( 37+000  )',
    'string.quoted.other.board.scenario'],
  ['cartello_indicatore,  2100,   (Cippo Km.)( 37+000  )', '( 37+000  )',
    'constant.numeric.scenario', 'not'],
  ['stazione,   31900, 27,  200,  0, 0, 0,  0,0,0,  0,0,0,   30,  14, 9, 0, Sipicciano S. Nicola',
    'Sipicciano S. Nicola', 'string.unquoted.name.scenario'],
  ['stazione,   31900, 27,  200,  0, 0, 0,  0,0,0,  0,0,0,   30,  14, 9, 0, Sipicciano S. Nicola',
    '14', 'constant.numeric.scenario'],
  ['velocità, 0, 100', 'velocità', 'keyword.other.row.scenario'],
  ['segnale,   10000,   2, 4, 1,  0, 0,    0,  0,0,0, 0', 'segnale', 'keyword.other.row.scenario'],
  ['pendenze, 500, 3', 'pendenze', 'invalid.illegal.unknown-keyword.scenario'],
  ['pendenze, 500, 3', 'pendenze', 'keyword.other.row.scenario', 'not'],
];

let failures = 0;
for (const [line, piece, scope, not] of cases) {
  const { tokens } = grammar.tokenizeLine(line, textmate.INITIAL);
  const start = line.indexOf(piece);
  // The tokens that make up the piece.
  const covering = tokens.filter((t) => t.startIndex < start + piece.length && t.endIndex > start);
  const carries = covering.length > 0 && covering.every((t) => t.scopes.includes(scope));
  const some = covering.some((t) => t.scopes.includes(scope));
  if (not ? some : !carries) {
    failures++;
    console.log(`FAIL ${JSON.stringify(line)}: ${JSON.stringify(piece)} ${not ? 'carries' : 'lacks'} ${scope}; ` +
      covering.map((t) => `${JSON.stringify(line.slice(t.startIndex, t.endIndex))} ${t.scopes.join(' ')}`).join('; '));
  }
}
console.log(`${cases.length - failures} of ${cases.length} grammar cases hold`);
process.exit(failures > 0 ? 1 : 0);
