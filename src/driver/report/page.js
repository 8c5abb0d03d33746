
'use strict';
// The report page: reads the records that the conversion wrote into the page's data blocks and
// draws the header, the map, the section list and the chosen section's profile. Every text of
// the export is put into the page as text (textContent, setAttribute), never as markup.
(() => {
  const SVG = 'http://www.w3.org/2000/svg';
  const NO_HEIGHT = 9999;        // the height of a levee marker whose line gave none
  const ROW = 22;                // pixels per row of the section list (as in the style)
  const MAX_WARNINGS = 5000;     // warnings listed in the header
  const PICK_PIXELS = 8;         // a click this close to a cut line chooses it

  function html(tag, attributes, text) {
    const e = document.createElement(tag);
    for (const [k, v] of Object.entries(attributes || {})) e.setAttribute(k, v);
    if (text !== undefined) e.textContent = text;
    return e;
  }

  function svg(tag, attributes, text) {
    const e = document.createElementNS(SVG, tag);
    for (const [k, v] of Object.entries(attributes || {})) e.setAttribute(k, v);
    if (text !== undefined) e.textContent = text;
    return e;
  }

  const sectionName = (x) => `${x.s} / ${x.r} / ${x.t}`;
  // The profile whose results are shown (with -results), and the export's unit of length.
  const view = { profile: 0, profiles: [], unit: '' };
  const UNITS = { ENGLISH: 'ft', US: 'ft', METRIC: 'm', SI: 'm' };
  const withUnit = (word) => (view.unit ? `${word} (${view.unit})` : word);
  const waterOf = (x) => (x.res && finite(x.res.we[view.profile]) ? x.res.we[view.profile] : null);
  const finite = (v) => typeof v === 'number' && Number.isFinite(v);

  // Kept (true) or trimmed for every point: "o" lists where that changes, starting kept.
  function keptFlags(x) {
    const flags = new Array(x.d.length).fill(true);
    let kept = true;
    let from = 0;
    for (const at of [...x.o, x.d.length]) {
      for (let i = from; i < at; i++) flags[i] = kept;
      kept = !kept;
      from = at;
    }
    return flags;
  }

  // What a section's record leaves out when it is the obvious: no changes between kept and
  // trimmed points, and the ends of the whole line when they are those of the map's line.
  function prepare(x) {
    x.o = x.o || [];
    if (!x.e && x.m) x.e = [x.m[0], x.m[1], x.m[x.m.length - 2], x.m[x.m.length - 1]];
    x.total = x.d ? x.d.length : 0;
    x.kept = x.total ? keptFlags(x).filter(Boolean).length : 0;
    x.nValues = x.n ? x.n.filter((_, j) => j % 2 === 1) : [];
    x.levees = x.v ? x.v.length : 0;
    x.used = x.u ? x.u.filter((k) => k >= 0).length : 0;
    x.search = [x.s, x.r, x.t, x.f || '', ...x.w].join('\n').toLowerCase();
  }

  // The records of every data block, in order. A run that ended early leaves its last record
  // cut short: it is left out.
  function readRecords() {
    const run = { lines: [], sections: [], warnings: [], regions: [], header: null, end: null };
    let pending = [];  // warnings written since the last section: they belong to the next one
    let inSections = false;
    let lastWarning = '';
    for (const block of document.querySelectorAll('script.vk-data')) {
      for (const line of block.textContent.split('\n')) {
        if (!line) continue;
        let r;
        try {
          r = JSON.parse(line);
        } catch (e) {
          continue;
        }
        if (r.k === 'l') {
          run.lines.push(r);
        } else if (r.k === 'w') {
          // A warning without its text repeats the one before.
          if (r.t === undefined) r.t = lastWarning;
          lastWarning = r.t;
          if (inSections) pending.push(r.t);
          else run.warnings.push({ text: r.t, where: 'stream network' });
        } else if (r.k === 'b') {
          inSections = true;
        } else if (r.k === 'x') {
          // Stream and reach left out are those of the section before.
          const before = run.sections[run.sections.length - 1] || {};
          if (r.s === undefined) r.s = before.s;
          if (r.r === undefined) r.r = before.r;
          r.i = run.sections.length;
          r.w = pending;
          pending = [];
          for (const text of r.w) run.warnings.push({ text, section: r });
          prepare(r);
          run.sections.push(r);
        } else if (r.k === 'e') {
          run.end = r;
        } else if (r.k === 'h') {
          run.header = r;
        } else if (r.k === 'r' && run.sections.length) {
          // A list left out holds no number.
          for (const key of ['we', 'wx', 'wd', 'bk']) r[key] = r[key] || [];
          run.sections[run.sections.length - 1].res = r;
        } else if (r.k === 'p') {
          run.regions.push(r);
        }
      }
    }
    const where = run.end ? 'after the last section' : 'where the run stopped';
    for (const text of pending) run.warnings.push({ text, where });
    return run;
  }

  function showHeader(run, choose) {
    const summary = document.getElementById('summary');
    // The error that ended the run stands first: after the page was closed (a file that is no
    // export), or the last of its messages when it stopped early.
    const errors = run.warnings.filter((w) => w.text.startsWith('ERROR') || w.text.startsWith('Error'));
    const error = run.end ? run.end.x : errors.length && errors[errors.length - 1].text;
    if (error) summary.before(html('p', { id: 'run-error', class: 'unfinished' }, error));
    if (run.end) {
      // The counts of what was written, then each other count: "Warnings: 3." (the results' counts
      // only where the run wrote them, as the console's summary says them).
      const words = /* the run's counts in words: composed from kRunCounts (summary.h) */;
      summary.textContent = `Written: ${run.end.n.map((v, k) => `${words.written[k]} ${v}`).join(', ')}.` +
        words.other.filter(([, key]) => key in run.end).map(([said, key]) => ` ${said}: ${run.end[key]}.`)
          .join('');
    } else {
      summary.textContent = `The run did not finish: this report ends after ${run.sections.length} ` +
        'section(s), with the message that ended it last in the warnings.';
      summary.className = 'unfinished';
    }
    const list = document.getElementById('warnings');
    document.getElementById('warnings-title').textContent = run.warnings.length ?
      `Warnings (${run.warnings.length})` : 'No warnings';
    // Where a warning arose: a link that chooses its section, or the part of the run in words.
    const place = (w) => {
      if (!w.section) return html('span', { class: 'where' }, `(${w.where})`);
      const link = html('a', { href: `#section-${w.section.i + 1}` },
        `${sectionName(w.section)}, line ${w.section.l}`);
      link.addEventListener('click', (e) => {
        e.preventDefault();
        choose(w.section.i, true);
      });
      return link;
    };
    // Warnings of the same text (but for the line number at its end) are one line with their
    // count, which opens to the list of where each arose (made when first opened).
    const kinds = new Map();
    for (const w of run.warnings) {
      const kind = w.text.replace(/\s*Line number: *\d+\s*$/, '');
      if (!kinds.has(kind)) kinds.set(kind, []);
      kinds.get(kind).push(w);
    }
    let listed = 0;
    for (const [text, all] of kinds) {
      if (listed++ === MAX_WARNINGS) break;
      const item = html('li');
      if (all.length === 1) {
        item.append(html('span', {}, all[0].text), ' ', place(all[0]));
      } else {
        const details = html('details', { class: 'repeated' });
        const summary = html('summary');
        summary.append(html('span', {}, text), ' ',
          html('span', { class: 'count' }, `(${all.length} times)`));
        details.append(summary);
        details.addEventListener('toggle', () => {
          if (!details.open || details.childElementCount > 1) return;
          const places = html('ol');
          for (const w of all.slice(0, MAX_WARNINGS)) {
            const at = html('li');
            at.append(place(w));
            if (w.text.length > text.length) at.append(` (${w.text.slice(text.length).trim()})`);
            places.append(at);
          }
          if (all.length > MAX_WARNINGS)
            places.append(html('li', { class: 'where' }, `... and ${all.length - MAX_WARNINGS} more`));
          details.append(places);
        });
        item.append(details);
      }
      list.append(item);
    }
    if (kinds.size > MAX_WARNINGS) {
      list.append(html('li', { class: 'where' },
        `... and ${kinds.size - MAX_WARNINGS} more kinds: filter the list with "with warnings".`));
    }
  }

  // ---------------------------------------------------------------------------------------------
  // The map: the layers' coordinates less an origin (so that the numbers stay small), north up.

  class MapView {
    constructor(element, run, choose) {
      this.svg = element;
      this.run = run;
      this.choose = choose;
      this.bounds();
      this.draw();
      this.fit();
      this.listen();
    }

    bounds() {
      let x0 = Infinity, y0 = Infinity, x1 = -Infinity, y1 = -Infinity;
      const add = (c) => {
        for (let i = 0; i + 1 < c.length; i += 2) {
          if (!finite(c[i]) || !finite(c[i + 1])) continue;
          x0 = Math.min(x0, c[i]); x1 = Math.max(x1, c[i]);
          y0 = Math.min(y0, c[i + 1]); y1 = Math.max(y1, c[i + 1]);
        }
      };
      for (const l of this.run.lines) add(l.c);
      for (const x of this.run.sections) {
        if (x.c) add(x.c);
        if (x.m) add(x.m);
      }
      for (const r of this.run.regions) add(r.c);
      if (x0 > x1) x0 = x1 = y0 = y1 = 0;
      this.origin = [x0, y1];
      this.extent = [0, 0, x1 - x0, y1 - y0];
    }

    // Path data of a line given as x, y, x, y, ...; a missing coordinate breaks the line.
    path(c) {
      let d = '';
      let move = true;
      for (let i = 0; i + 1 < c.length; i += 2) {
        if (!finite(c[i]) || !finite(c[i + 1])) {
          move = true;
          continue;
        }
        d += `${move ? 'M' : 'L'}${this.px(c[i])} ${this.py(c[i + 1])}`;
        move = false;
      }
      return d;
    }

    px(x) { return +(x - this.origin[0]).toFixed(4); }
    py(y) { return +(this.origin[1] - y).toFixed(4); }

    dots(c) {
      let d = '';
      for (let i = 0; i + 1 < c.length; i += 2)
        if (finite(c[i]) && finite(c[i + 1])) d += `M${this.px(c[i])} ${this.py(c[i + 1])}h0`;
      return d;
    }

    draw() {
      const layer = (cls) => this.svg.appendChild(svg('g', { class: cls }));
      // Surface lines over the cut lines: where a section was trimmed the cut line shows beyond.
      const lines = layer('centrelines');
      const cuts = layer('cuts');
      const surfaces = layer('surfaces');
      this.results = layer('results');
      const points = layer('points');
      this.chosen = layer('chosen');
      this.drawResults();
      let centrelines = '';
      for (const l of this.run.lines) centrelines += this.path(l.c);
      lines.append(svg('path', { class: 'centreline', d: centrelines }));
      let surface = '', ends = '', levees = '';
      for (const x of this.run.sections) {
        if (x.m) surface += this.path(x.m);
        if (x.e) ends += this.dots(x.e);
        if (x.v) levees += this.dots(x.v.flatMap((v) => [v[3], v[4]]));
        if (x.c) cuts.append(svg('path', { class: 'cut', d: this.path(x.c), 'data-section': x.i }));
      }
      surfaces.append(svg('path', { class: 'surface', d: surface }));
      points.append(svg('path', { class: 'ends', d: ends }));
      points.append(svg('path', { class: 'levees', d: levees }));
    }

    // The chosen profile's water-surface lines and profile limits, and the storage areas with
    // their names (and the chosen profile's level where hovered).
    drawResults() {
      this.results.replaceChildren();
      const name = view.profiles[view.profile];
      let limits = '', storage = '', water = '';
      this.names = svg('g', { class: 'names' });
      for (const r of this.run.regions) {
        const ring = this.path(r.c) + 'Z';
        if (!r.a) {
          if (r.n === name) limits += ring;
          continue;
        }
        storage += ring;
        let x0 = Infinity, y0 = Infinity, x1 = -Infinity, y1 = -Infinity;
        for (let i = 0; i + 1 < r.c.length; i += 2) {
          if (!finite(r.c[i]) || !finite(r.c[i + 1])) continue;
          x0 = Math.min(x0, r.c[i]); x1 = Math.max(x1, r.c[i]);
          y0 = Math.min(y0, r.c[i + 1]); y1 = Math.max(y1, r.c[i + 1]);
        }
        if (!(x1 >= x0)) continue;
        const label = svg('text',
          { x: this.px((x0 + x1) / 2), y: this.py((y0 + y1) / 2), 'text-anchor': 'middle' }, r.n);
        const level = r.we[view.profile];
        label.append(svg('title', {}, finite(level) ? `${r.n}: water ${level} (${name})` : r.n));
        this.names.append(label);
      }
      for (const x of this.run.sections) {
        if (x.res) water += this.path(waterLine(x, view.profile));
      }
      this.results.append(svg('path', { class: 'limits', d: limits }));
      this.results.append(svg('path', { class: 'storage', d: storage }));
      this.results.append(svg('path', { class: 'water', d: water }));
      this.results.append(this.names);
      if (this.view) this.scaleNames();
    }

    // The storage areas' names keep their size on the screen whatever the zoom.
    scaleNames() {
      this.names.setAttribute('font-size', 12 * this.view.scale);
      this.names.setAttribute('stroke-width', 3 * this.view.scale);
    }

    // The view box keeps the element's proportions, so a pixel is as wide as it is high.
    show(cx, cy, width) {
      const w = this.svg.clientWidth || 800, h = this.svg.clientHeight || 460;
      this.view = { cx, cy, width, scale: width / w };
      const height = width * h / w;
      this.svg.setAttribute('viewBox', `${cx - width / 2} ${cy - height / 2} ${width} ${height}`);
      this.scaleNames();
    }

    fit() {
      const [x0, y0, x1, y1] = this.extent;
      const w = this.svg.clientWidth || 800, h = this.svg.clientHeight || 460;
      const width = Math.max(x1 - x0, (y1 - y0) * w / h, 1e-9) * 1.06;
      this.show((x0 + x1) / 2, (y0 + y1) / 2, width);
    }

    // The map position under a point of the screen.
    at(event) {
      const r = this.svg.getBoundingClientRect();
      const v = this.view;
      return [v.cx + (event.clientX - r.left - r.width / 2) * v.scale,
        v.cy + (event.clientY - r.top - r.height / 2) * v.scale];
    }

    listen() {
      let drag = null;
      this.svg.addEventListener('pointerdown', (e) => {
        drag = { x: e.clientX, y: e.clientY, cx: this.view.cx, cy: this.view.cy, moved: false };
        this.svg.setPointerCapture(e.pointerId);
      });
      this.svg.addEventListener('pointermove', (e) => {
        if (!drag) return;
        const dx = e.clientX - drag.x, dy = e.clientY - drag.y;
        if (Math.abs(dx) + Math.abs(dy) > 3) drag.moved = true;
        if (!drag.moved) return;
        this.svg.classList.add('dragging');
        this.show(drag.cx - dx * this.view.scale, drag.cy - dy * this.view.scale, this.view.width);
      });
      this.svg.addEventListener('pointerup', (e) => {
        const click = drag && !drag.moved;
        drag = null;
        this.svg.classList.remove('dragging');
        if (click) this.pick(this.at(e));
      });
      this.svg.addEventListener('wheel', (e) => {
        e.preventDefault();
        const [mx, my] = this.at(e);
        const f = Math.pow(1.0015, e.deltaY);
        const v = this.view;
        this.show(mx + (v.cx - mx) * f, my + (v.cy - my) * f, v.width * f);
      }, { passive: false });
      document.getElementById('fit').addEventListener('click', () => this.fit());
    }

    // The section whose cut line passes nearest the point, within a few pixels.
    pick([ux, uy]) {
      let best = null, bestDistance = PICK_PIXELS * this.view.scale;
      for (const x of this.run.sections) {
        if (!x.c) continue;
        for (let i = 0; i + 3 < x.c.length; i += 2) {
          const d = segmentDistance(ux, uy, this.px(x.c[i]), this.py(x.c[i + 1]),
            this.px(x.c[i + 2]), this.py(x.c[i + 3]));
          if (d <= bestDistance) {
            bestDistance = d;
            best = x;
          }
        }
      }
      if (best) this.choose(best.i, false);
    }

    mark(x, centre) {
      this.chosen.replaceChildren();
      if (x.m) this.chosen.append(svg('path', { class: 'chosen-surface', d: this.path(x.m) }));
      if (x.c) this.chosen.append(svg('path', { class: 'chosen-cut', d: this.path(x.c) }));
      const c = x.c || x.m;
      if (!centre || !c || !finite(c[0])) return;
      const v = this.view;
      const w = this.view.width, h = w * (this.svg.clientHeight || 460) / (this.svg.clientWidth || 800);
      const [cx, cy] = [this.px(c[0]), this.py(c[1])];
      if (Math.abs(cx - v.cx) > w * 0.45 || Math.abs(cy - v.cy) > h * 0.45) this.show(cx, cy, w);
    }
  }

  // What each column of the list sorts by; a text that is a number sorts as one.
  const SORT_KEYS = [(x) => x.i, (x) => x.s, (x) => x.r, (x) => x.t, (x) => x.kept, (x) => x.used,
    (x) => x.nValues.join(' '), (x) => x.w.length, waterOf];
  function compareValues(a, b) {
    const number = (v) => (typeof v === 'string' && v.trim() !== '' && Number.isFinite(+v) ? +v : v);
    a = number(a); b = number(b);
    if (a === null || b === null) return (a === null) - (b === null);
    if (typeof a === 'number' && typeof b === 'number') return a - b;
    return String(a).localeCompare(String(b));
  }

  function segmentDistance(px, py, ax, ay, bx, by) {
    if (![ax, ay, bx, by].every(Number.isFinite)) return Infinity;
    const dx = bx - ax, dy = by - ay;
    const length = dx * dx + dy * dy;
    const t = length > 0 ? Math.max(0, Math.min(1, ((px - ax) * dx + (py - ay) * dy) / length)) : 0;
    return Math.hypot(px - ax - t * dx, py - ay - t * dy);
  }

  // ---------------------------------------------------------------------------------------------
  // The section list: only the rows in sight are made, so that any number of sections scrolls.

  class SectionList {
    constructor(run, choose) {
      this.run = run;
      this.choose = choose;
      this.box = document.getElementById('list');
      this.space = document.getElementById('list-space');
      this.filterText = document.getElementById('filter');
      this.onlyWarned = document.getElementById('only-warned');
      this.chosen = -1;
      this.sort = null; // { column, direction }: the list in file order until a header is clicked
      document.querySelectorAll('#list-box .row.head span').forEach((head, column) => {
        head.addEventListener('click', () => {
          const direction = this.sort && this.sort.column === column ? -this.sort.direction : 1;
          this.sort = { column, direction };
          document.querySelectorAll('#list-box .row.head span').forEach((h, c) => {
            if (c === column) h.setAttribute('aria-sort', direction > 0 ? 'ascending' : 'descending');
            else h.removeAttribute('aria-sort');
          });
          this.filter();
        });
      });
      this.filter();
      this.box.addEventListener('scroll', () => this.render());
      this.filterText.addEventListener('input', () => this.filter());
      this.onlyWarned.addEventListener('change', () => this.filter());
      this.box.addEventListener('keydown', (e) => this.key(e));
      this.box.addEventListener('click', (e) => {
        const row = e.target.closest('.row');
        if (row) this.choose(+row.dataset.section, true);
      });
    }

    filter() {
      const terms = this.filterText.value.toLowerCase().split(/\s+/).filter(Boolean);
      const warned = this.onlyWarned.checked;
      this.rows = this.run.sections.filter((x) =>
        (!warned || x.w.length > 0) && terms.every((t) => x.search.includes(t)));
      if (this.sort) {
        const key = SORT_KEYS[this.sort.column], direction = this.sort.direction;
        this.rows.sort((a, b) => direction * compareValues(key(a), key(b)) || a.i - b.i);
      }
      document.getElementById('list-count').textContent =
        `${this.rows.length} of ${this.run.sections.length} sections`;
      this.space.style.height = `${this.rows.length * ROW}px`;
      this.render();
    }

    render() {
      const first = Math.floor(this.box.scrollTop / ROW);
      const last = Math.min(this.rows.length, first + Math.ceil((this.box.clientHeight || 440) / ROW) + 1);
      const made = [];
      for (let k = first; k < last; k++) {
        const x = this.rows[k];
        const row = html('div', { class: 'row', 'data-section': x.i });
        if (x.i === this.chosen) row.classList.add('chosen');
        if (x.w.length) row.classList.add('warned');
        row.style.top = `${k * ROW}px`;
        const cells = [String(x.i + 1), x.s, x.r, x.t,
          x.total ? `${x.kept}/${x.total}` : 'none',
          x.levees ? `${x.used}/${x.levees}` : '-',
          x.nValues.join(' ') || '-', String(x.w.length)];
        if (view.profiles.length) cells.push(waterOf(x) === null ? '-' : String(waterOf(x)));
        for (const text of cells) row.append(html('span', { title: text }, text));
        made.push(row);
      }
      this.space.replaceChildren(...made);
    }

    show(i, scroll) {
      this.chosen = i;
      const k = this.rows.findIndex((x) => x.i === i);
      if (scroll && k >= 0) {
        const top = k * ROW;
        if (top < this.box.scrollTop || top + ROW > this.box.scrollTop + this.box.clientHeight)
          this.box.scrollTop = Math.max(0, top - this.box.clientHeight / 2);
      }
      this.render();
    }

    key(e) {
      if (e.key !== 'ArrowDown' && e.key !== 'ArrowUp') return;
      e.preventDefault();
      const k = this.rows.findIndex((x) => x.i === this.chosen);
      const next = Math.max(0, Math.min(this.rows.length - 1, k + (e.key === 'ArrowDown' ? 1 : -1)));
      if (this.rows[next]) this.choose(this.rows[next].i, true);
    }
  }

  // ---------------------------------------------------------------------------------------------
  // The profile of one section: elevation over distance.

  // About `count` round values from lo to hi.
  function ticks(lo, hi, count) {
    const step0 = (hi - lo) / count;
    const power = Math.pow(10, Math.floor(Math.log10(step0)));
    const step = [1, 2, 5, 10].map((m) => m * power).find((s) => s >= step0) || step0;
    const out = [];
    for (let v = Math.ceil(lo / step) * step; v <= hi + step * 1e-9; v += step) out.push(+v.toPrecision(12));
    return out;
  }

  // A polyline given as x, y, x, y, ...: its length, and the distance along it of the point on it
  // nearest to (px, py).
  function lineLength(c) {
    let total = 0;
    for (let i = 0; i + 3 < c.length; i += 2) total += Math.hypot(c[i + 2] - c[i], c[i + 3] - c[i + 1]);
    return total;
  }
  function distanceAlong(c, px, py) {
    let best = Infinity, at = null, run = 0;
    for (let i = 0; i + 3 < c.length; i += 2) {
      const dx = c[i + 2] - c[i], dy = c[i + 3] - c[i + 1];
      const length = Math.hypot(dx, dy);
      const t = length > 0 ?
        Math.max(0, Math.min(1, ((px - c[i]) * dx + (py - c[i + 1]) * dy) / (length * length))) : 0;
      const off = Math.hypot(px - c[i] - t * dx, py - c[i + 1] - t * dy);
      if (off < best) { best = off; at = run + t * length; }
      run += length;
    }
    return finite(at) ? at : null;
  }

  // The part of a polyline (x, y, x, y, ...) from one distance along it to another.
  function partOf(c, from, to) {
    const out = [];
    let run = 0;
    for (let i = 0; i + 3 < c.length; i += 2) {
      const length = Math.hypot(c[i + 2] - c[i], c[i + 3] - c[i + 1]);
      const at = (d) => {
        const t = length > 0 ? Math.max(0, Math.min(1, (d - run) / length)) : 0;
        out.push(c[i] + t * (c[i + 2] - c[i]), c[i + 1] + t * (c[i + 3] - c[i + 1]));
      };
      if (!out.length && from <= run + length) at(from);
      if (out.length && to <= run + length) {
        at(to);
        return out;
      }
      if (out.length) out.push(c[i + 2], c[i + 3]);
      run += length;
    }
    return out;
  }

  // A profile's water-surface line on the map: along the cut line between the extents' nearest
  // points on it (the extents themselves where the section has no cut line).
  function waterLine(x, k) {
    const e = x.res.wx.slice(4 * k, 4 * k + 4);
    if (!x.c || e.length < 4 || !e.every(finite) || !x.c.every(finite)) return e;
    const [a, b] = [distanceAlong(x.c, e[0], e[1]), distanceAlong(x.c, e[2], e[3])];
    return a === null || b === null ? e : partOf(x.c, Math.min(a, b), Math.max(a, b));
  }

  // Every profile's water of a section: level, and where it meets the ground on the left and the
  // right along the profile (the surface line's distances; without a surface line, the extents'
  // places on the cut line).
  function watersOf(x) {
    const waters = [];
    if (!x.res) return waters;
    for (let k = 0; k < x.res.we.length; k++) {
      const level = x.res.we[k];
      if (!finite(level)) continue;
      let [dl, dr] = x.res.wd.slice(2 * k, 2 * k + 2);
      const e = x.res.wx.slice(4 * k, 4 * k + 4);
      if (!(finite(dl) && finite(dr)) && !x.total && x.c && e.length === 4 && e.every(finite)) {
        dl = distanceAlong(x.c, e[0], e[1]);
        dr = distanceAlong(x.c, e[2], e[3]);
      }
      if (finite(dl) && finite(dr)) waters.push({ k, level, from: Math.min(dl, dr), to: Math.max(dl, dr) });
    }
    return waters;
  }

  // The labels of a profile, placed inside its plot so that none covers another: each is tried at
  // its places in turn, moved sideways into the plot where it would leave it, and left out (its
  // text stays in the info line and the readout) where it fits nowhere.
  class Labels {
    constructor(box, area) {
      this.group = box.appendChild(svg('g', { class: 'labels' }));
      this.area = area;  // [x0, y0, x1, y1] of the plot
      this.placed = [];
    }

    // `places`: [x, y (the baseline), anchor] in the order of preference.
    add(cls, text, places) {
      const [ax0, ay0, ax1, ay1] = this.area;
      const label = svg('text', { class: `label ${cls}` }, text);
      this.group.append(label);
      for (const [x, y, anchor] of places) {
        label.setAttribute('x', x);
        label.setAttribute('y', y);
        label.setAttribute('text-anchor', anchor || 'start');
        const b = label.getBBox();
        if (b.width > ax1 - ax0 || b.y < ay0 || b.y + b.height > ay1) continue;
        const shift = b.x < ax0 ? ax0 - b.x : Math.min(0, ax1 - b.x - b.width);
        const r = { x: b.x + shift, y: b.y, w: b.width, h: b.height };
        const covers = (p) =>
          r.x < p.x + p.w + 2 && p.x < r.x + r.w + 2 && r.y < p.y + p.h && p.y < r.y + r.h;
        if (this.placed.some(covers)) continue;
        label.setAttribute('x', x + shift);
        this.placed.push(r);
        return label;
      }
      label.remove();
      return null;
    }
  }

  function drawProfile(x) {
    const box = document.getElementById('profile');
    box.replaceChildren();
    document.getElementById('profile-title').textContent = sectionName(x);
    const parts = [x.f ? `Table ${x.f}` : 'No surface line: no table and no ground profile'];
    if (x.total) parts.push(`${x.kept} of ${x.total} points kept`);
    if (x.levees) parts.push(`levee markers used ${x.used} of ${x.levees}`);
    parts.push(`input line ${x.l}`);
    if (x.w.length) parts.push(`${x.w.length} warning(s): ${x.w.join(' ')}`);
    document.getElementById('profile-info').textContent = parts.join(' \u00b7 ');
    const readout = document.getElementById('profile-readout');
    readout.textContent = '';
    box.onpointermove = null;
    const W = box.clientWidth || 900, H = box.clientHeight || 380;
    box.setAttribute('viewBox', `0 0 ${W} ${H}`);
    // Without a surface line the cut line gives the distances: its length is the axis.
    const cutLength = !x.total && x.c ? lineLength(x.c) : 0;
    if (!x.total && !(cutLength > 0)) {
      box.append(svg('text', { x: W / 2, y: H / 2, 'text-anchor': 'middle', class: 'note' },
        'This section has no surface line and no cut line to draw.'));
      return;
    }
    const left = 70, right = 20, top = 34, bottom = 40;
    box.dataset.plot = `${left} ${top} ${W - right} ${H - bottom}`;
    const labels = new Labels(box, [left, top, W - right, H - bottom]);
    const heights = (x.v || []).map((v) => v[2]).filter((h) => finite(h) && h !== NO_HEIGHT);
    const waters = watersOf(x);
    // Loops rather than Math.min(...values): a section may have more points than a call takes
    // arguments.
    const range = (values) => values.reduce(([lo, hi], v) =>
      (finite(v) ? [Math.min(lo, v), Math.max(hi, v)] : [lo, hi]), [Infinity, -Infinity]);
    let [d0, d1] = x.total ? range(x.d) : [0, cutLength];
    let [z0, z1] = range((x.z || []).concat(heights, waters.map((w) => w.level)));
    const elevations = finite(z0);
    if (!finite(d0)) { d0 = 0; d1 = 1; }
    if (!elevations) { z0 = 0; z1 = 1; }
    if (!(d1 > d0)) { d0 -= 1; d1 += 1; }
    if (!(z1 > z0)) { z0 -= 1; z1 += 1; }
    const pad = (z1 - z0) * 0.06;
    z0 -= pad; z1 += pad;
    const sx = (d) => left + (d - d0) / (d1 - d0) * (W - left - right);
    const sy = (z) => H - bottom - (z - z0) / (z1 - z0) * (H - top - bottom);
    const LINE = 13;  // pixels between two rows of labels

    // n values: the ranges over which each applies, shaded (labelled after the rest).
    const nLabels = [];
    if (x.n) {
      for (let j = 0; j < x.n.length; j += 2) {
        const from = x.d[x.n[j]], to = j + 2 < x.n.length ? x.d[x.n[j + 2]] : d1;
        if (!finite(from) || !finite(to)) continue;
        const a = sx(from), b = sx(to);
        box.append(svg('rect', { class: `nrange${(j / 2) % 2 ? ' alt' : ''}`, x: a, y: top,
          width: Math.max(0, b - a), height: H - top - bottom }));
        nLabels.push([(a + b) / 2, `n ${x.n[j + 1]}`]);
      }
    }
    for (const d of ticks(d0, d1, 8)) {
      box.append(svg('line', { class: 'grid', x1: sx(d), x2: sx(d), y1: top, y2: H - bottom }));
      box.append(svg('text', { x: sx(d), y: H - bottom + 14, 'text-anchor': 'middle' }, String(d)));
    }
    if (elevations) {
      for (const z of ticks(z0, z1, 6)) {
        box.append(svg('line', { class: 'grid', x1: left, x2: W - right, y1: sy(z), y2: sy(z) }));
        box.append(svg('text', { x: left - 6, y: sy(z) + 4, 'text-anchor': 'end' }, String(z)));
      }
    } else {
      box.append(svg('text', { x: (left + W - right) / 2, y: (top + H - bottom) / 2, 'text-anchor': 'middle',
        class: 'note' }, 'No surface line and no water level: no elevations to draw.'));
    }
    box.append(svg('line', { class: 'axis', x1: left, x2: W - right, y1: H - bottom, y2: H - bottom }));
    box.append(svg('line', { class: 'axis', x1: left, x2: left, y1: top, y2: H - bottom }));
    box.append(svg('text', { x: (left + W - right) / 2, y: H - 6, 'text-anchor': 'middle' },
      withUnit(x.total ? 'distance' : 'distance along the cut line')));
    if (elevations) {
      box.append(svg('text', { x: 14, y: (top + H - bottom) / 2, 'text-anchor': 'middle',
        transform: `rotate(-90 14 ${(top + H - bottom) / 2})` }, withUnit('elevation')));
    }

    // Every profile's water surface from where it meets the ground on the left to the right, the
    // chosen one over the others; then the bank stations.
    const chosenWater = waters.find((w) => w.k === view.profile);
    const others = waters.filter((w) => w !== chosenWater);
    for (const w of [...others, ...(chosenWater ? [chosenWater] : [])]) {
      box.append(svg('line', { class: w === chosenWater ? 'water' : 'water other',
        x1: sx(w.from), x2: sx(w.to), y1: sy(w.level), y2: sy(w.level) }));
    }
    const waterLabel = (w, text) => {
      const [a, b, y] = [sx(w.from), sx(w.to), sy(w.level)];
      labels.add(w === chosenWater ? 'water-label' : 'water-label other', text,
        [[a, y - 5], [b, y - 5, 'end'], [a, y + 14], [b, y + 14, 'end'], [(a + b) / 2, y - 5, 'middle'],
          [(a + b) / 2, y + 14, 'middle'], [a, y - 5 - LINE], [a, y + 14 + LINE]]);
    };
    const profileName = (k) => view.profiles[k] || `profile ${k + 1}`;
    if (chosenWater) {
      waterLabel(chosenWater, `${profileName(chosenWater.k)}: water ${chosenWater.level}, ` +
        `top width ${+(chosenWater.to - chosenWater.from).toFixed(2)}`);
    }
    const lanes = Math.max(1, Math.floor((H - top - bottom) / LINE / 3));
    if (x.res) {
      x.res.bk.forEach((at, k) => {
        if (!finite(at)) return;
        box.append(svg('line', { class: 'bank', x1: sx(at), x2: sx(at), y1: top, y2: H - bottom }));
        const places = [];
        for (let lane = 0; lane < lanes; lane++) {
          const y = H - bottom - 6 - lane * LINE;
          // The left bank's label left of its line, the right one's right of it, else the other way.
          const outward = k ? [sx(at) + 3, y, 'start'] : [sx(at) - 3, y, 'end'];
          places.push(outward, k ? [sx(at) - 3, y, 'end'] : [sx(at) + 3, y, 'start']);
        }
        labels.add('bank-label', k ? 'right bank' : 'left bank', places);
      });
    }

    // Levee markers at their distance, with their heights, labelled from the plot's top down.
    (x.v || []).forEach((v, k) => {
      const [id, at, height] = v;
      if (!finite(at)) return;
      const used = x.u && x.u.includes(k);
      box.append(svg('line', { class: `levee${used ? ' used' : ''}`, x1: sx(at), x2: sx(at), y1: top, y2: H - bottom }));
      const label = height === NO_HEIGHT ? `${id} (no height)` : `${id} ${height}`;
      const places = [];
      for (let lane = 0; lane < lanes; lane++)
        places.push([sx(at) + 3, top + 12 + lane * LINE], [sx(at) - 3, top + 12 + lane * LINE, 'end']);
      labels.add('levee-label', `levee ${label}`, places);
      if (finite(height) && height !== NO_HEIGHT) {
        const mx = sx(at), my = sy(height);
        box.append(svg('path', { class: 'levee-mark', d: `M${mx} ${my}l-6 -9h12z` }));
      }
    });
    for (const [at, text] of nLabels) {
      const places = [];
      for (let lane = 0; lane < lanes; lane++) places.push([at, top + 12 + lane * LINE, 'middle']);
      labels.add('nlabel', text, places);
    }
    // The other profiles' names where there is room (the first hundred of them).
    for (const w of others.slice(0, 100)) waterLabel(w, `${profileName(w.k)} ${w.level}`);
    if (!x.total) return;

    // Points: trimmed ones grey, kept ones on their line.
    const kept = keptFlags(x);
    let line = '', move = true;
    for (let i = 0; i < x.total; i++) {
      if (!kept[i] || !finite(x.d[i]) || !finite(x.z[i])) {
        move = true;
        continue;
      }
      line += `${move ? 'M' : 'L'}${sx(x.d[i]).toFixed(2)} ${sy(x.z[i]).toFixed(2)}`;
      move = false;
    }
    box.append(svg('path', { class: 'line', d: line }));
    for (let i = 0; i < x.total; i++) {
      if (!finite(x.d[i]) || !finite(x.z[i])) continue;
      box.append(svg('circle', { class: kept[i] ? 'kept' : 'trimmed', cx: sx(x.d[i]).toFixed(2),
        cy: sy(x.z[i]).toFixed(2), r: 2.5 }));
    }
    box.append(labels.group);  // over the ground

    box.onpointermove = (e) => {
      const r = box.getBoundingClientRect();
      const d = d0 + (e.clientX - r.left - left) / (W - left - right) * (d1 - d0);
      let best = -1;
      for (let i = 0; i < x.total; i++)
        if (finite(x.d[i]) && (best < 0 || Math.abs(x.d[i] - d) < Math.abs(x.d[best] - d))) best = i;
      if (best < 0) return;
      let n = '';
      if (x.n) for (let j = 0; j < x.n.length && x.n[j] <= best; j += 2) n = `, n ${x.n[j + 1]}`;
      readout.textContent = `Point ${best + 1}: distance ${x.d[best]}, elevation ${x.z[best]}${n}` +
        (kept[best] ? '' : ' (trimmed)');
    };
  }

  // ---------------------------------------------------------------------------------------------

  document.addEventListener('DOMContentLoaded', () => {
    const run = readRecords();
    let map = null, list = null, chosen = -1;
    if (run.header) {
      view.unit = UNITS[run.header.u.toUpperCase()] || '';
      view.profiles = run.header.p || [];
    }
    // The chosen section and profile stand in the address's fragment ("#section-5&profile-2"),
    // so that a link to the page opens the same view.
    const remember = () => {
      const parts = [];
      if (chosen >= 0) parts.push(`section-${chosen + 1}`);
      if (view.profiles.length) parts.push(`profile-${view.profile + 1}`);
      const hash = parts.length ? `#${parts.join('&')}` : '';
      if (hash && hash !== location.hash) location.replace(hash);
    };
    const choose = (i, centre) => {
      const x = run.sections[i];
      if (!x) return;
      chosen = i;
      list.show(i, true);
      map.mark(x, centre);
      drawProfile(x);
      remember();
    };
    const select = document.getElementById('profile-choice');
    const chooseProfile = (k) => {
      if (!(k >= 0 && k < view.profiles.length)) return;
      view.profile = k;
      select.value = String(k);
      map.drawResults();
      list.filter();
      if (run.sections[chosen]) drawProfile(run.sections[chosen]);
      remember();
    };
    showHeader(run, choose);
    map = new MapView(document.getElementById('map'), run, choose);
    list = new SectionList(run, choose);
    const present = { water: view.profiles.length > 0, limits: run.regions.some((r) => !r.a),
      storage: run.regions.some((r) => r.a) };
    if (Object.values(present).some(Boolean)) {
      document.getElementById('results-keys').hidden = false;
      for (const [layer, shown] of Object.entries(present))
        document.querySelector(`#results-keys [data-key="${layer}"]`).hidden = !shown;
      for (const box of document.querySelectorAll('#results-keys input[data-layer]')) {
        box.addEventListener('change', () =>
          map.svg.classList.toggle(`hide-${box.dataset.layer}`, !box.checked));
      }
    }
    if (view.profiles.length) {
      document.getElementById('profile-label').hidden = false;
      document.getElementById('ws-head').hidden = false;
      document.getElementById('list-box').classList.add('with-results');
      view.profiles.forEach((name, k) => select.append(html('option', { value: k }, name)));
      select.addEventListener('change', () => chooseProfile(+select.value));
    }
    const follow = () => {
      const profile = /(?:^#|&)profile-(\d+)(?:&|$)/.exec(location.hash);
      const section = /(?:^#|&)section-(\d+)(?:&|$)/.exec(location.hash);
      if (section && +section[1] - 1 !== chosen) choose(+section[1] - 1, true);
      if (profile && +profile[1] - 1 !== view.profile) chooseProfile(+profile[1] - 1);
    };
    follow();
    window.addEventListener('hashchange', follow);
    document.body.dataset.ready = String(run.sections.length);
  });
})();
