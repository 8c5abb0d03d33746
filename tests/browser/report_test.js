// The conversion report in a real browser: headless Chromium (Debian's) driven by playwright-core.
// Converts the example, a generated 2,000-section export and an export whose IDs are markup, each
// with -mif -report, opens each report from disk and checks what a user sees: no console error and
// no load from anywhere, as many cut lines on the map as the cut-line layer has, a chosen section's
// profile with as many kept points as its .csv table has rows, and texts shown as text. Screenshots
// of the map and of a profile are kept in the output folder.
//
//   node report_test.js --binary VARNOKLINE --gen GEN_SDF --examples DIR --out DIR
// Exit status 0 passed, 1 failed, 77 skipped (no Chromium or no playwright-core).
'use strict';
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');

const SKIP = 77;
const CHROMIUM = process.env.VK_CHROMIUM || '/usr/bin/chromium';

const options = {};
for (let i = 2; i + 1 < process.argv.length; i += 2) options[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];

let chromium;
try {
  ({ chromium } = require('playwright-core'));
} catch (e) {
  console.log('SKIPPED: playwright-core is not installed (scripts/install-test-tools)');
  process.exit(SKIP);
}
if (!fs.existsSync(CHROMIUM)) {
  console.log(`SKIPPED: no Chromium at ${CHROMIUM} (scripts/install-test-tools)`);
  process.exit(SKIP);
}

const failures = [];
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures.push(what);
}

const lines = (file) => fs.readFileSync(file, 'latin1').split('\n').filter((l) => l.length > 0);

// A folder holding the export and the templates, converted with -mif -report (and `more`).
function convert(name, writeExport, more = []) {
  const folder = path.join(options.out, name);
  fs.rmSync(folder, { recursive: true, force: true });
  fs.mkdirSync(folder, { recursive: true });
  for (const t of ['Header.mif', 'Header.prj']) fs.copyFileSync(path.join(options.examples, t), path.join(folder, t));
  writeExport(path.join(folder, 'river.sdf'));
  try {
    execFileSync(options.binary, ['-mif', '-report', ...more, 'river.sdf'], { cwd: folder, stdio: ['ignore', 'ignore', 'inherit'] });
  } catch (e) {
    if (e.status !== 1) throw e;  // a run that stops early ends with status 1 and its page
  }
  return folder;
}

const ESCAPED_ID = '</script><script>alert(1)</script>';
const ESCAPED_LEVEE = '<img/src/onerror=alert(2)>';  // a levee ID ends at its first blank
const markupExport = [
  'BEGIN STREAM NETWORK:', 'END STREAM NETWORK:', 'BEGIN CROSS-SECTIONS:',
  'CROSS-SECTION:', `  STREAM ID:${ESCAPED_ID}`, '  REACH ID:<b>bold</b> & "quoted"', '  STATION: 12.5',
  '  CUT LINE:', '     100.0, 200.0', '     160.0, 200.0',
  '  LEVEE POSITIONS:', `     ${ESCAPED_LEVEE}, 0.2, 14.5`, '     R, 0.8, 14.0',
  '  SURFACE LINE:',
  ...Array.from({ length: 13 }, (_, i) => `     ${100 + 5 * i}.0, 200.0, ${10 + Math.abs(i - 6)}.0`),
  'END:', 'END CROSS-SECTIONS:', ''].join('\n');
// The same section, then one whose station is no number: the run stops there.
const stoppedExport = markupExport.replace('END CROSS-SECTIONS:',
  'CROSS-SECTION:\n  STREAM ID:S\n  REACH ID:R\n  STATION: XS4\nEND:\nEND CROSS-SECTIONS:');

// Two profiles over a section whose labels crowd (banks side by side, levees at both ends, narrow
// n ranges, a water surface at the right edge) and two sections without a surface line, whose
// cut line bends; a profile's limits and a storage area.
const surfaceLine = Array.from({ length: 13 }, (_, i) => `     ${100 + 5 * i}.0, 200.0, ${10 + Math.abs(i - 6)}.0`);
const withoutSurface = (station) => ['CROSS-SECTION:', '  STREAM ID:Creek', '  REACH ID:Upper', `  STATION: ${station}`,
  '  BANK POSITIONS: 0.25, 0.75', '  WATER ELEVATION: 11.0, 12.5',
  '  CUT LINE:', '     100.0, 150.0', '     150.0, 150.0', '     150.0, 200.0',
  '  WATER SURFACE EXTENTS:', '     120.0, 150.0, 150.0, 180.0', '     110.0, 150.0, 150.0, 190.0', 'END:'];
const crowdedExport = [
  'BEGIN HEADER:', 'UNITS: METRIC', 'NUMBER OF PROFILES: 2', 'PROFILE NAMES:', '  PF 1', '  PF 2', 'END HEADER:',
  'BEGIN STREAM NETWORK:', 'END STREAM NETWORK:', 'BEGIN CROSS-SECTIONS:',
  'CROSS-SECTION:', '  STREAM ID:Creek', '  REACH ID:Upper', '  STATION: 30', '  BANK POSITIONS: 0.49, 0.51',
  '  NVALUES:', ...Array.from({ length: 10 }, (_, i) => `     ${i / 10}, 0.0${3 + (i % 5)}`),
  '  LEVEE POSITIONS:', '     LeftLevee, 0.02, 14.5', '     RightLevee, 0.98, 14.0', '  WATER ELEVATION: 12.2, 15.9',
  '  CUT LINE:', '     100.0, 200.0', '     160.0, 200.0', '  SURFACE LINE:', ...surfaceLine,
  '  WATER SURFACE EXTENTS:', '     154.0, 200.0, 159.0, 200.0', '     100.5, 200.0, 159.5, 200.0', 'END:',
  ...withoutSurface(20), ...withoutSurface(10), 'END CROSS-SECTIONS:',
  'BEGIN BOUNDS:', 'PROFILE LIMITS:', 'PROFILE ID: PF 1', 'POLYGON:', '  100, 140', '  170, 140', '  170, 210', '  100, 210',
  'END:', 'END BOUNDS:', 'BEGIN STORAGE AREAS:', 'SA ID: Pond', 'WATER ELEVATION: 11.5, 12.5', 'POLYGON:',
  '  180, 150', '  220, 150', '  220, 190', '  180, 190', 'END:', 'END STORAGE AREAS:', ''].join('\n');

// The profile's labels: every one inside the plot and none over another; their texts.
async function checkLabels(page, label) {
  const { plot, boxes } = await page.evaluate(() => {
    const box = document.getElementById('profile');
    return { plot: (box.dataset.plot || '').split(' ').map(Number), boxes: [...box.querySelectorAll('text.label')]
      .map((t) => { const b = t.getBBox(); return { text: t.textContent, x: b.x, y: b.y, w: b.width, h: b.height }; }) };
  });
  const [x0, y0, x1, y1] = plot;
  const outside = boxes.filter((b) => !(b.x >= x0 && b.y >= y0 && b.x + b.w <= x1 && b.y + b.h <= y1));
  check(plot.length === 4 && outside.length === 0, `${label}: labels inside the plot ${plot} (outside: ${JSON.stringify(outside)})`);
  const over = [];
  boxes.forEach((a, i) => boxes.slice(i + 1).forEach((b) => {
    if (a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h) over.push(`${a.text} / ${b.text}`);
  }));
  check(over.length === 0, `${label}: no label covers another (${over.join('; ')})`);
  return boxes.map((b) => b.text);
}

async function openReport(browser, folder, hash = '', width = 1400) {
  const page = await browser.newPage({ viewport: { width, height: 1150 } });
  const problems = [];
  page.on('console', (m) => { if (m.type() === 'error' || m.type() === 'warning') problems.push(`console ${m.type()}: ${m.text()}`); });
  page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
  page.on('dialog', (d) => { problems.push(`dialog: ${d.message()}`); d.dismiss(); });
  const file = path.join(folder, 'river_report.html');
  page.on('request', (r) => { if (r.url() !== `file://${file}`) problems.push(`load: ${r.url()}`); });
  await page.goto(`file://${file}${hash}`);
  await page.waitForSelector('body[data-ready]', { timeout: 60000 });
  return { page, problems };
}

// Chooses the section of the list row and compares its profile with its table.
async function checkProfile(page, folder, label) {
  const info = await page.textContent('#profile-info');
  const table = /Table (.*?\.csv)/.exec(info);
  check(table !== null, `${label}: the profile names the section's table (${info.slice(0, 80)})`);
  if (!table) return;
  const rows = lines(path.join(folder, table[1])).length - 1;
  const kept = await page.locator('#profile circle.kept').count();
  check(kept === rows, `${label}: profile draws ${kept} kept points, ${table[1]} has ${rows} rows`);
}

(async () => {
  fs.mkdirSync(options.out, { recursive: true });
  const browser = await chromium.launch({ executablePath: CHROMIUM, args: ['--no-sandbox'] });
  try {
    const cases = [
      { name: 'example', write: (f) => fs.copyFileSync(path.join(options.examples, 'river.sdf'), f) },
      { name: 'generated', write: (f) => execFileSync(options.gen, [f, '--reaches', '4', '--sections', '2000']) },
      { name: 'markup', write: (f) => fs.writeFileSync(f, markupExport) },
      { name: 'stopped', write: (f) => fs.writeFileSync(f, stoppedExport) },
      { name: 'results', write: (f) => execFileSync(options.gen, [f, '--sections', '200', '--extents']),
        more: ['-results'] },
    ];
    for (const c of cases) {
      const folder = convert(c.name, c.write, c.more);
      const { page, problems } = await openReport(browser, folder);

      const layer = lines(path.join(folder, 'river_cut_line.mid')).length;
      const drawn = await page.locator('#map path.cut').count();
      check(drawn === layer && layer > 0, `${c.name}: map draws ${drawn} cut lines, the layer has ${layer}`);
      const listed = await page.textContent('#list-count');
      check(listed.startsWith(`${layer} of ${layer} sections`), `${c.name}: the list holds every section (${listed})`);

      // A section chosen in the list, then one chosen by clicking its cut line on the map.
      await page.click(`#list .row >> nth=${Math.min(1, layer - 1)}`);
      await checkProfile(page, folder, `${c.name}, from the list`);
      const cut = page.locator('#map path.cut').nth(layer > 3 ? 3 : 0);
      const wanted = Number(await cut.getAttribute('data-section'));
      const box = await cut.boundingBox();
      await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
      const chosen = await page.getAttribute('#list .row.chosen', 'data-section');
      check(Number(chosen) === wanted, `${c.name}: clicking cut line ${wanted} on the map chooses section ${chosen}`);
      await checkProfile(page, folder, `${c.name}, map click`);

      if (c.name === 'generated') {
        await page.fill('#filter', 'creek c 1125');
        const filtered = await page.textContent('#list-count');
        check(/^[1-9]\d* of 2000 sections/.test(filtered), `generated: the filter narrows the list (${filtered})`);
      }
      if (c.name === 'markup') {
        const cells = await page.locator('#list .row >> nth=0 >> span').allTextContents();
        check(cells[1] === ESCAPED_ID, `markup: the stream ID shows as its text (${cells[1]})`);
        check(cells[2] === '<b>bold</b> & "quoted"', `markup: the reach ID shows as its text (${cells[2]})`);
        const labels = await page.locator('#profile .levee-label').allTextContents();
        check(labels.includes(`levee ${ESCAPED_LEVEE} 14.5`), `markup: the levee ID shows as its text (${labels})`);
        const elements = await page.evaluate(() => ({
          scripts: document.scripts.length, images: document.images.length, bold: document.querySelectorAll('b').length,
        }));
        check(elements.scripts === 2 && elements.images === 0 && elements.bold === 0,
          `markup: no element made from the export (${JSON.stringify(elements)})`);
      }
      if (c.name === 'stopped') {
        const summary = await page.textContent('#summary');
        check(summary.startsWith('The run did not finish: this report ends after 1 section'),
          `stopped: the header says the run did not finish (${summary})`);
        const last = await page.locator('#warnings li').last().textContent();
        check(last.startsWith('ERROR - converting station to numeric field'),
          `stopped: the message that stopped it is the last warning (${last})`);
      }
      if (c.name === 'example') {
        // A warning's link chooses its section; the wheel zooms the map in, "Show all" out again.
        const link = page.locator('#warnings a').first();
        const target = Number((await link.getAttribute('href')).replace('#section-', ''));
        await link.click();
        const linked = Number(await page.textContent('#list .row.chosen span >> nth=0'));
        check(linked === target, `example: a warning's link chooses its section (${target}, chosen ${linked})`);
        const width = async () => Number((await page.getAttribute('#map', 'viewBox')).split(' ')[2]);
        const before = await width();
        const map = await page.locator('#map').boundingBox();
        await page.mouse.move(map.x + map.width / 2, map.y + map.height / 2);
        await page.mouse.wheel(0, -400);
        const zoomed = await width();
        await page.click('#fit');
        check(zoomed < before * 0.9 && Math.abs(await width() - before) < 1e-6 * before,
          `example: the wheel zooms in (${before} to ${zoomed}) and "Show all" back`);
        await page.locator('#map-box').screenshot({ path: path.join(options.out, 'map.png') });
        await page.locator('#profile-box').screenshot({ path: path.join(options.out, 'profile.png') });
        await page.screenshot({ path: path.join(options.out, 'report.png') });
      }
      if (c.name === 'results') {
        // The profile's water level, banks and units; the list's water column sorts on a click.
        const level = /WATER ELEVATION: *([\d.]+)/.exec(fs.readFileSync(path.join(folder, 'river.sdf'), 'latin1'))[1];
        await page.click('#list .row >> nth=0');
        const drawn = await page.evaluate(() => ({
          options: [...document.querySelectorAll('#profile-choice option')].map((o) => o.textContent),
          water: document.querySelectorAll('#profile line.water').length,
          banks: document.querySelectorAll('#profile line.bank').length,
          axes: [...document.querySelectorAll('#profile text')].map((t) => t.textContent).filter((t) => t.endsWith('(m)')),
          lines: (document.querySelector('#map path.water').getAttribute('d').match(/M/g) || []).length,
          cell: document.querySelector('#list .row.chosen span:last-child').textContent,
        }));
        check(drawn.options.join() === 'PF 1' && drawn.water === 1 && drawn.banks === 2 && drawn.lines === 200 &&
          Number(drawn.cell) === Number(level) && drawn.axes.join() === 'distance (m),elevation (m)',
        `results: profile choice, water level, banks, units, map lines, list column (${JSON.stringify(drawn)}, ${level})`);
        await page.click('#ws-head');
        const sorted = (await page.locator('#list .row >> span:last-child').allTextContents()).map(Number);
        check(sorted.length > 5 && sorted.every((v, k) => k === 0 || sorted[k - 1] <= v),
          `results: a click on the water column sorts the list (${sorted.slice(0, 5)})`);
        const jumped = await openReport(browser, folder, '#section-5');
        const number = await jumped.page.textContent('#list .row.chosen span >> nth=0');
        check(number === '5', `results: #section-5 chooses the list's section 5 (${number})`);
        await jumped.page.close();
      }
      check(problems.length === 0, `${c.name}: no console error, dialog or load (${problems.join('; ')})`);
      await page.close();
    }
    // Results drawn where a user can read them.
    const crowded = convert('crowded', (f) => fs.writeFileSync(f, crowdedExport), ['-results']);
    {
      const { page, problems } = await openReport(browser, crowded, '#section-1');
      const texts = await checkLabels(page, 'crowded section');
      const wanted = ['left bank', 'right bank', 'levee LeftLevee 14.5', 'levee RightLevee 14', 'PF 1: water 12.2, top width 5'];
      check(wanted.every((t) => texts.includes(t)), `crowded section: every bank, levee and water label shown (${texts})`);
      const map = await page.evaluate(() => {
        const stroke = (c) => getComputedStyle(document.querySelector(`#map path.${c}`)).stroke;
        return { strokes: ['centreline', 'cut', 'water', 'limits', 'storage'].map(stroke),
          keys: [...document.querySelectorAll('#results-keys [data-key]')].filter((k) => !k.hidden).map((k) => k.textContent),
          names: [...document.querySelectorAll('#map .names text')].map((t) => t.firstChild.nodeValue),
          summary: document.getElementById('summary').textContent };
      });
      check(new Set(map.strokes).size === 5 && map.keys.join() === 'water-surface lines,profile limits,storage areas' &&
        map.names.join() === 'Pond', `crowded: results in colours and keys of their own, storage areas named (${JSON.stringify(map)})`);
      check(/^Written: .*, tables 1, water-surface lines 6, /.test(map.summary), `crowded: "Written:" counts the results (${map.summary})`);
      // The two sections without a surface line give one warning line that opens to both.
      const warnings = await page.locator('#warnings > li').allTextContents();
      await page.click('#warnings details.repeated summary');
      await page.waitForSelector('#warnings details.repeated li a');
      const places = await page.locator('#warnings details.repeated li a').allTextContents();
      check(warnings.length === 1 && /\(2 times\)$/.test(warnings[0]) && places.join() === 'Creek / Upper /  20, line 52,Creek / Upper /  10, line 66',
        `crowded: repeated warnings are one line opening to their places (${warnings}; ${places})`);
      // A narrow window: no sideways scroll, and the list still shows stream and reach.
      await page.setViewportSize({ width: 700, height: 1000 });
      const narrow = await page.evaluate(() => ({ page: document.documentElement.scrollWidth - document.documentElement.clientWidth,
        cells: [...document.querySelectorAll('#list .row')][0].querySelectorAll('span').length,
        hidden: [1, 2].map((k) => { const c = document.querySelectorAll('#list .row span')[k]; return c.scrollWidth > c.clientWidth || c.clientWidth < 30; }) }));
      check(narrow.page <= 0 && !narrow.hidden.includes(true), `700 px wide: no sideways scroll, stream and reach shown (${JSON.stringify(narrow)})`);
      check(problems.length === 0, `crowded: no console error, dialog or load (${problems.join('; ')})`);
      await page.close();
    }
    {
      // A section without a surface line, opened with its profile from the address: the cut line
      // gives the distances; each profile's water from extent to extent along it.
      const { page, problems } = await openReport(browser, crowded, '#section-2&profile-2');
      const texts = await checkLabels(page, 'section without a surface line');
      const drawn = await page.evaluate(() => ({ profile: document.getElementById('profile-choice').value,
        chosen: document.querySelector('#list .row.chosen span').textContent,
        water: document.querySelectorAll('#profile line.water').length, banks: document.querySelectorAll('#profile line.bank').length,
        axis: [...document.querySelectorAll('#profile text')].some((t) => t.textContent === 'distance along the cut line (m)') }));
      check(drawn.profile === '1' && drawn.chosen === '2' && drawn.water === 2 && drawn.banks === 2 && drawn.axis &&
        texts.includes('PF 2: water 12.5, top width 80') && texts.includes('left bank'),
        `without a surface line: the profile panel has both waters, banks and the cut line's axis (${JSON.stringify(drawn)}, ${texts})`);
      await page.selectOption('#profile-choice', '0');
      const hash = await page.evaluate(() => location.hash);
      check(hash === '#section-2&profile-1', `the chosen profile goes into the address (${hash})`);
      check(problems.length === 0, `without a surface line: no console error, dialog or load (${problems.join('; ')})`);
      await page.close();
    }
    // A file that is no export: its report opens with the error that ended the run.
    const none = convert('not-an-export', (f) => fs.writeFileSync(f, 'station,elevation\n100,12.5\n'));
    const { page } = await openReport(browser, none);
    const error = await page.textContent('#run-error');
    check(error === 'ERROR - No stream network or cross-sections found in river.sdf.',
      `not an export: the error stands at the top of the report (${error})`);
    await page.close();
  } finally {
    await browser.close();
  }
  console.log(failures.length ? `${failures.length} check(s) failed` : 'all checks passed');
  process.exit(failures.length ? 1 : 0);
})().catch((e) => {
  console.log(`FAIL ${e.stack}`);
  process.exit(1);
});
