// The VS Code support for KIV scripts, tested as VS Code would use it: the grammar through
// vscode-textmate and the Oniguruma regular expressions, the problem matchers' regexps on what
// kivcheck prints.
//
//   KIVCHECK=path/to/kivcheck node --test      (scripts/check-grammar.sh runs it)
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const vsctm = require('vscode-textmate');
const oniguruma = require('vscode-oniguruma');

const root = path.resolve(__dirname, '../../..');
const extension = path.resolve(__dirname, '..');
const manifest = JSON.parse(fs.readFileSync(path.join(extension, 'package.json'), 'utf8'));
const grammarPath = path.join(extension, manifest.contributes.grammars[0].path);

// The keywords are the command rows' words: one row per keyword, its word first.
const rowKeywords = [...fs.readFileSync(path.join(root, 'src/engine/command_forms.cpp'), 'utf8')
  .matchAll(/\{"([A-Z0-9]+)", kOp/g)].map((m) => m[1]);
// The registry roots the run knows, as their prefixes ("HKLM\\").
const rootsLine = fs.readFileSync(path.join(root, 'src/engine/argument_forms.cpp'), 'utf8')
  .match(/kRegistryRootPrefixes\[[^\]]*\] = \{([^}]*)\}/);
const runRoots = rootsLine ? [...rootsLine[1].matchAll(/"([A-Z]+)\\\\"/g)].map((m) => m[1]) : [];

let grammarPromise;
function loadGrammar() {
  grammarPromise ??= (async () => {
    const wasm = fs.readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm'));
    await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
    const registry = new vsctm.Registry({
      onigLib: Promise.resolve({
        createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
        createOnigString: (text) => new oniguruma.OnigString(text),
      }),
      loadGrammar: async (scopeName) => scopeName === 'source.kiv'
        ? vsctm.parseRawGrammar(fs.readFileSync(grammarPath, 'utf8'), grammarPath) : null,
    });
    return registry.loadGrammar('source.kiv');
  })();
  return grammarPromise;
}

// Each line of a text with the scopes of each of its characters, as VS Code shows it (an
// editor breaks lines at CR LF and at LF alike).
async function tokenize(text) {
  const grammar = await loadGrammar();
  let state = vsctm.INITIAL;
  return text.split(/\r?\n/).map((line) => {
    const result = grammar.tokenizeLine(line, state);
    state = result.ruleStack;
    const scopes = [];
    for (const token of result.tokens) {
      for (let i = token.startIndex; i < Math.min(token.endIndex, line.length); ++i) scopes[i] = token.scopes;
    }
    return { line, scopes };
  });
}

// A scope name or one below it: 'comment' holds for 'comment.line.semicolon.kiv'.
const hasScope = (scopes, name) => scopes.some((s) => s === name || s.startsWith(`${name}.`));
const rangeHas = (scopes, from, to, name) => {
  for (let i = from; i < to; ++i) if (!hasScope(scopes[i] ?? [], name)) return false;
  return true;
};
const rangeHasNone = (scopes, from, to, name) => {
  for (let i = from; i < to; ++i) if (hasScope(scopes[i] ?? [], name)) return false;
  return true;
};

// What the loader makes of one line: blanks skipped, ';' a comment to the line's end where a new
// item could begin (the line's start, after a header), '[' a header to the first ']', anything
// else a command line: its word the run of ASCII letters and digits, its arguments the rest.
function loaderItems(line) {
  const items = [];
  let p = 0;
  for (;;) {
    while (p < line.length && ' \t\r'.includes(line[p])) ++p;
    if (p >= line.length) return items;
    if (line[p] === ';') return items.concat({ kind: 'comment', start: p, end: line.length });
    if (line[p] === '[') {
      const close = line.indexOf(']', p);
      if (close < 0) return items.concat({ kind: 'unclosed', start: p + 1, end: line.length });
      items.push({ kind: 'header', start: p + 1, end: close });
      p = close + 1;
      continue;
    }
    const word = /^[A-Za-z0-9]*/.exec(line.slice(p))[0];
    return items.concat({ kind: 'command', start: p, word, argumentStart: p + word.length, end: line.length });
  }
}

// The %%NAME%% references of argument text, as substitution finds them: from each "%%" to the
// next, left to right.
function references(text, offset) {
  const found = [];
  for (let p = text.indexOf('%%'); p >= 0; p = text.indexOf('%%', p)) {
    const close = text.indexOf('%%', p + 2);
    if (close < 0) break;
    found.push({ start: offset + p, end: offset + close + 2 });
    p = close + 2;
  }
  return found;
}

// What the grammar must show of one loaded line: a list of faults, empty when it is right.
function lineFaults(line, scopes, keywords, seen) {
  const faults = [];
  const show = (item) => JSON.stringify(line.slice(item.start, item.end));
  for (const item of loaderItems(line)) {
    if (item.kind === 'comment' && !rangeHas(scopes, item.start, item.end, 'comment')) {
      faults.push(`comment ${show(item)} is not scoped comment`);
    }
    if (item.kind === 'header' && !rangeHas(scopes, item.start, item.end, 'entity.name.section')) {
      faults.push(`section name ${show(item)} is not scoped entity.name.section`);
    }
    if (item.kind !== 'command') continue;
    const wordEnd = item.argumentStart;
    if (keywords.has(item.word.toUpperCase())) {
      seen.keywords.add(item.word.toUpperCase());
      if (!rangeHas(scopes, item.start, wordEnd, 'keyword') || !rangeHasNone(scopes, wordEnd, wordEnd + 1, 'keyword')) {
        faults.push(`keyword ${JSON.stringify(item.word)} is not scoped keyword (exactly)`);
      }
    } else if (item.word !== '' && !rangeHas(scopes, item.start, wordEnd, 'invalid.illegal.unknown-command')) {
      faults.push(`word ${JSON.stringify(item.word)} is no keyword but is not scoped invalid.illegal.unknown-command`);
    }
    for (const reference of references(line.slice(wordEnd), wordEnd)) {
      seen.variables += 1;
      if (!rangeHas(scopes, reference.start, reference.end, 'variable.other')) {
        faults.push(`variable ${show(reference)} is not scoped variable.other`);
      }
    }
  }
  return faults;
}

// The scripts scripts/check-examples.sh checks: the docs' KIV blocks as it cuts them out, and
// examples/**/*.kiv. It is run with a recorder in kivcheck's place, so the two cannot differ.
function recordedScripts() {
  const record = fs.mkdtempSync(path.join(os.tmpdir(), 'kiv-grammar-'));
  try {
    const run = spawnSync('bash', [path.join(root, 'scripts/check-examples.sh'), path.join(__dirname, 'record-kivcheck.sh')],
      { cwd: root, env: { ...process.env, KIV_RECORD: record }, encoding: 'utf8' });
    assert.strictEqual(run.status, 0, `check-examples.sh with the recorder failed:\n${run.stdout}${run.stderr}`);
    const blocks = new Map();  // the block's number in check-examples' manifest: doc, fence line, lines added
    const manifestPath = path.join(record, 'manifest');
    if (fs.existsSync(manifestPath)) {
      for (const row of fs.readFileSync(manifestPath, 'utf8').split('\n').filter(Boolean)) {
        const [n, doc, fence, , , added] = row.split('\t');
        blocks.set(n, { doc, fence: Number(fence), added: Number(added) });
      }
    }
    // Each copy named by where its lines come from; what check-examples tries kivcheck with
    // itself (a probe of its options) is neither a doc's block nor an example.
    const scripts = [];
    for (const row of fs.readFileSync(path.join(record, 'index'), 'utf8').split('\n').filter(Boolean)) {
      const [n, original] = row.split('\t');
      const text = fs.readFileSync(path.join(record, `${n}.kiv`), 'latin1');
      const block = blocks.get(path.basename(original, '.kiv'));
      if (original.startsWith(`${root}${path.sep}`)) {
        scripts.push({ text, example: true, where: (line) => `${path.relative(root, original)}:${line}` });
      } else if (block) {
        scripts.push({ text, example: false, where: (line) => `${block.doc}:${block.fence + line - block.added}` });
      }
    }
    return scripts;
  } finally {
    fs.rmSync(record, { recursive: true, force: true });
  }
}

test('the KIV grammar', async (t) => {
  const raw = JSON.parse(fs.readFileSync(grammarPath, 'utf8'));

  await t.test('names the keywords of the command rows and no other word', async () => {
    assert.ok(rowKeywords.length > 0, 'src/engine/command_forms.cpp: no row was found as {"WORD", kOp...');
    const grammarKeywords = Object.entries(raw.repository)
      .filter(([name]) => name.startsWith('command-') || name === 'command')
      .flatMap(([, rule]) => /\(\?i:([A-Z0-9|]+)\)/.exec(rule.begin)[1].split('|'));
    assert.deepStrictEqual([...grammarKeywords].sort(), [...rowKeywords].sort(),
      'the grammar\'s keyword rules (syntaxes/kiv.tmLanguage.json) must list exactly the rows\' keywords');
    // In any case, as the loader matches them, and scoped by the rules themselves.
    const lines = rowKeywords.flatMap((k) => [k, k.toLowerCase(), k[0] + k.slice(1).toLowerCase()]).map((k) => `${k} x`);
    const tokenized = await tokenize(`[DefaultInstall]\r\n${lines.join('\r\n')}`);
    const notScoped = tokenized.slice(1).filter(({ line, scopes }) => {
      const end = line.indexOf(' ');
      return !rangeHas(scopes, 0, end, 'keyword') || !rangeHasNone(scopes, end, line.length, 'keyword');
    });
    assert.deepStrictEqual(notScoped.map(({ line }) => line), []);
  });

  await t.test('colours the registry roots the run knows, upper case only', async () => {
    assert.ok(runRoots.length > 0, 'src/engine/argument_forms.cpp: kRegistryRootPrefixes was not found');
    const rootsRule = raw.repository.registry.patterns[0].match;
    const grammarRoots = /\(\?:([A-Z|]+)\)/.exec(rootsRule)[1].split('|');
    assert.deepStrictEqual([...grammarRoots].sort(), [...runRoots].sort());
    for (const name of runRoots) {
      const [, { line, scopes }] = await tokenize(`[S]\r\nDELETEREGKEY ${name}\\Software\\Vorna`);
      const at = line.indexOf(name);
      assert.ok(rangeHas(scopes, at, at + name.length, 'support.constant.registry-root'), `${name} in ${line}`);
    }
  });

  await t.test('reads a line as the loader reads it', async () => {
    // [line, a piece of it (its first occurrence), the scope every character of it has, or with
    // "!" one that none has]
    const cases = [
      ['; a comment line', '; a comment line', 'comment.line.semicolon.kiv'],
      ['  ; after blanks', '; after blanks', 'comment.line.semicolon.kiv'],
      ['[Main] ; after a header', '; after a header', 'comment.line.semicolon.kiv'],
      ['SET Note=a ; b', '; b', '!comment'],
      ['[Main]', 'Main', 'entity.name.section.kiv'],
      ['[ Main ]', ' Main ', 'entity.name.section.kiv'],
      ['[Main] SET A=1', 'SET', 'keyword.other.command.kiv'],
      ['[A][B]', 'B', 'entity.name.section.kiv'],
      ['[Main', 'Main', 'invalid.illegal.unclosed-section.kiv'],
      ['copyfiles Files', 'copyfiles', 'keyword.other.command.kiv'],
      ['CopyFiles Files', 'CopyFiles', 'keyword.other.command.kiv'],
      ['SET_A=1', 'SET', 'keyword.other.command.kiv'],
      ['SETT A=1', 'SETT', 'invalid.illegal.unknown-command.kiv'],
      ['SETX=1', 'SETX', '!keyword'],
      ['COPYFILEAS a.dll,b.dll', 'COPYFILEAS', 'invalid.deprecated.no-handler.kiv'],
      ['FILECOW avvscan.dat', 'FILECOW', 'keyword.other.list-entry.kiv'],
      ['CALL Result=CopyData', 'CALL', 'keyword.control.flow.kiv'],
      ['CALLIF %%OsType%%=NT|%%OsType%%=2000,Stop', 'CALLIF', 'keyword.control.conditional.kiv'],
      ['CALLIF %%OsType%%=NT|%%OsType%%=2000,Stop', '=', 'keyword.operator.comparison.kiv'],
      ['CALLIF %%OsType%%=NT|%%OsType%%=2000,Stop', '|', 'keyword.operator.logical.kiv'],
      ['RETURNIF %%V%%>=4.1.0.0,current', '>=', 'keyword.operator.comparison.kiv'],
      ['RETURNIF %%V%%>=4.1.0.0,current', '4.1.0.0', 'constant.numeric.kiv'],
      ['SET A=x=y', '=', '!keyword.operator'],
      ['SET Empty=%%%%', '%%%%', 'variable.other.kiv'],
      ['SET A=%%x%y%%', '%%x%y%%', 'variable.other.kiv'],
      ['SET A=50%', '%', '!variable'],
      ['RUN %%Tool /quiet', '%%Tool /quiet', 'invalid.illegal.unclosed-variable.kiv'],
      ['SETREGVALUE HKLM\\Software\\Vorna,Count=/REG_DWORD:5', 'HKLM', 'support.constant.registry-root.kiv'],
      ['SETREGVALUE HKLM\\Software\\Vorna,Count=/reg_dword:5', '/reg_dword:', 'storage.type.registry.kiv'],
      ['SETREGVALUE HKLM\\Software\\Vorna,Count=/REG_DWORD:5', '5', 'constant.numeric.kiv'],
      ['GETREGVALUE Path=hklm\\Software\\Vorna,Path', 'hklm', 'invalid.illegal.registry-root.kiv'],
      ['SETWORKDIR C:\\Vorna2\\file1.dll', '2', '!constant.numeric'],
      ['PROGRESS 1,100,40,Installing engine 5.4.1...', '5.4.1', 'constant.numeric.kiv'],
    ];
    const wrong = [];
    for (const [line, piece, expected] of cases) {
      const tokenized = await tokenize(`[DefaultInstall]\r\n${line}`);
      const { scopes } = tokenized[1];
      const at = line.indexOf(piece);
      const ok = expected.startsWith('!')
        ? rangeHasNone(scopes, at, at + piece.length, expected.slice(1))
        : rangeHas(scopes, at, at + piece.length, expected);
      if (!ok) wrong.push(`${line}: ${piece} should be ${expected}, is ${JSON.stringify(scopes[at])}`);
    }
    assert.deepStrictEqual(wrong, []);
  });

  await t.test('scopes every keyword, variable, comment and header of the docs\' examples and examples/', async () => {
    const keywords = new Set(rowKeywords);
    const seen = { keywords: new Set(), variables: 0 };
    const scripts = recordedScripts();
    assert.ok(scripts.some((s) => s.example) && scripts.some((s) => !s.example), 'no example script or no doc block was read');
    const faults = [];
    for (const script of scripts) {
      const lines = await tokenize(script.text);
      lines.forEach(({ line, scopes }, i) => {
        for (const fault of lineFaults(line, scopes, keywords, seen)) faults.push(`${script.where(i + 1)}: ${fault}`);
      });
    }
    assert.deepStrictEqual(faults, []);
    t.diagnostic(`${scripts.length} scripts: ${seen.keywords.size} distinct keywords, ${seen.variables} variables scoped`);
  });
});

test('the kivcheck problem matchers read what kivcheck prints', async () => {
  const kivcheck = process.env.KIVCHECK;
  assert.ok(kivcheck && fs.existsSync(kivcheck), 'KIVCHECK names the kivcheck to run');
  const matchers = Object.fromEntries(manifest.contributes.problemMatchers.map((m) => [m.name, m]));
  // Read as VS Code reads a match: each field from its group.
  const read = (matcher, text) => {
    const m = new RegExp(matcher.pattern.regexp).exec(text);
    if (!m) return null;
    const field = (name) => m[matcher.pattern[name]];
    return {
      file: field('file'), line: Number(field('line')), column: field('column'),
      severity: field('severity') ?? matcher.severity, code: field('code'), message: field('message'),
    };
  };
  const fixtures = path.join(__dirname, 'fixtures');
  // The script named as a pipeline names it (relative) and as a task might (absolute).
  for (const script of ['faulty.kiv', path.join(fixtures, 'faulty.kiv')]) {
    const run = (format) => spawnSync(kivcheck, [`--format=${format}`, script], { cwd: fixtures, encoding: 'utf8' });
    const text = run('text');
    const json = run('json');
    assert.strictEqual(text.status, 1, text.stderr);
    const expected = JSON.parse(json.stdout);
    const diagnostics = expected.filter((d) => d.check !== 'run-forecast');
    const forecasts = expected.filter((d) => d.check === 'run-forecast');
    assert.deepStrictEqual(new Set(diagnostics.map((d) => d.severity)), new Set(['error', 'warning', 'note']),
      'the faulty script gives an error, a warning and a note');
    assert.strictEqual(forecasts.length, 1, 'the faulty script gives a forecast');

    const lines = text.stdout.split('\n').filter(Boolean);
    const summary = lines.pop();
    assert.match(summary, /^\d+ errors?, \d+ warnings?, \d+ notes? in 1 file$/);
    assert.strictEqual(read(matchers.kivcheck, summary), null, 'the summary is no problem');
    assert.strictEqual(read(matchers['kivcheck-forecast'], summary), null, 'the summary is no forecast');
    const found = lines.map((l) => read(matchers.kivcheck, l)).filter(Boolean);
    const foundForecasts = lines.map((l) => read(matchers['kivcheck-forecast'], l)).filter(Boolean);
    assert.strictEqual(found.length + foundForecasts.length, lines.length, `a line no matcher reads:\n${text.stdout}`);
    assert.deepStrictEqual(found, diagnostics.map((d) => ({
      file: script, line: d.line, column: undefined, severity: d.severity, code: d.check, message: d.message,
    })));
    assert.deepStrictEqual(foundForecasts, forecasts.map((f) => ({
      file: script, line: f.line, column: undefined, severity: 'info', code: /\((\d+):/.exec(f.message)[1],
      message: f.message,
    })));
    // kivcheck.exe names a script by its Windows path: the drive's colon is no line number.
    const windows = read(matchers.kivcheck, lines[0].replace(script, 'C:\\Updates\\faulty.kiv'));
    assert.deepStrictEqual(windows, { ...found[0], file: 'C:\\Updates\\faulty.kiv' });
    // A column, should a diagnostic ever name one, is read as the compilers write it.
    const withColumn = read(matchers.kivcheck, lines[0].replace(`${script}:${found[0].line}:`, `${script}:${found[0].line}:7:`));
    assert.deepStrictEqual(withColumn, { ...found[0], column: '7' });
  }
});
