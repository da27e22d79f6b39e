'use strict';
// The operator console: polls the server's state once a second and sends
// the operator's commands as POSTs carrying the CSRF token.

const $ = (sel) => document.querySelector(sel);
let csrf = '';
let home = '';

async function getJson(path) {
  const r = await fetch(path, { cache: 'no-store' });
  if (!r.ok) throw new Error(path + ': ' + r.status);
  return r.json();
}

async function post(path, fields) {
  const r = await fetch(path, {
    method: 'POST',
    headers: { 'X-CSRF-Token': csrf, 'Content-Type': 'application/x-www-form-urlencoded' },
    body: new URLSearchParams(fields),
  });
  if (!r.ok) throw new Error(path + ': ' + r.status);
  return r.json();
}

// A message box: the text, its buttons, and which one has the focus.
// Resolves to the label pressed ("Cancel"/"No" also for Escape). With
// withInput, resolves to [label, text].
// One box at a time: a box asked for while another is open waits its turn.
let boxes = Promise.resolve();
function ask(text, buttons, focus, withInput, value) {
  const shown = boxes.then(() => showBox(text, buttons, focus, withInput, value));
  boxes = shown.catch(() => {});
  return shown;
}
function showBox(text, buttons, focus, withInput, value) {
  const box = $('#box');
  $('#box-text').textContent = text;
  const input = $('#box-input');
  input.hidden = !withInput;
  input.value = value || '';
  const row = $('#box-buttons');
  row.replaceChildren();
  return new Promise((resolve) => {
    const done = (label) => { box.close(); resolve(withInput ? [label, input.value] : label); };
    buttons.forEach((label) => {
      const b = document.createElement('button');
      b.type = 'button';
      b.textContent = label;
      b.addEventListener('click', () => done(label));
      row.append(b);
    });
    box.oncancel = (e) => { e.preventDefault(); done(buttons[buttons.length - 1]); };
    box.showModal();
    (withInput ? input : row.children[focus]).focus();
  });
}

// "&Pause Server": the letter after "&" is the access key.
function setCaption(button, caption) {
  const at = caption.indexOf('&');
  button.replaceChildren();
  if (at < 0) { button.textContent = caption; return; }
  const key = document.createElement('u');
  key.textContent = caption[at + 1];
  button.append(caption.slice(0, at), key, caption.slice(at + 2));
  button.accessKey = caption[at + 1].toLowerCase();
}

const trayNames = ['running', 'activity', 'stopped'];
const trayColours = ['#15803d', '#ca8a04', '#b91c1c'];

function showTray(icon, tip) {
  const badge = $('#badge');
  const name = trayNames[icon] || 'not shown';
  badge.textContent = name;
  badge.className = 'badge ' + (trayNames[icon] || '');
  badge.title = tip;
  const colour = trayColours[icon] || '#64748b';
  $('#favicon').href = 'data:image/svg+xml,' + encodeURIComponent(
    '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 16 16"><circle cx="8" cy="8" r="7" fill="' + colour + '"/></svg>');
}

function drawGraph(values) {
  const canvas = $('#graph');
  const g = canvas.getContext('2d');
  const w = canvas.width, h = canvas.height;
  g.clearRect(0, 0, w, h);
  const top = Math.max(10, ...values);
  const bar = w / values.length;
  g.fillStyle = '#2563eb';
  values.forEach((v, i) => {
    const bh = (v / top) * (h - 14);
    g.fillRect(i * bar + 1, h - bh, bar - 2, bh);
  });
  g.fillStyle = '#888';
  g.font = '11px sans-serif';
  g.fillText(String(top), 2, 11);
  canvas.dataset.last = String(values[values.length - 1]);
  canvas.dataset.total = String(values.reduce((a, b) => a + b, 0));
}

let lastLog = '';
async function refresh() {
  const s = await getJson('/api/state');
  csrf = s.csrf;
  home = s.home;
  if (s.name) { $('#title').textContent = s.name + ' - Vellion'; document.title = s.name + ' - Vellion'; }
  setCaption($('#mnuStartStop'), s.caption);
  $('#status').textContent = s.status;
  $('#requests').textContent = s.requests;
  $('#cache-panel').textContent = s.cache;
  showTray(s.tray, s.tip);
  drawGraph(s.perSecond);
  const text = s.log.join('\n');
  if (text !== lastLog) {
    const pre = $('#log');
    const atEnd = pre.scrollTop + pre.clientHeight >= pre.scrollHeight - 4;
    pre.textContent = text;
    if (atEnd) pre.scrollTop = pre.scrollHeight;
    lastLog = text;
  }
  for (const message of s.boxes) await ask(message, ['OK'], 0);
}

async function command(name) {
  const r = await post('/api/do/command', { name });
  for (const message of r.boxes || []) await ask(message, ['OK'], 0);
  return r;
}

// The questions and messages of the commands, as the operator sees them.
const commands = {
  mnuStartStop: () => command('mnuStartStop'),
  mnuReload: () => command('mnuReload'),
  mnuClearCache: async () => {
    if (await ask('Are you sure you want to clear the cached records ?', ['Yes', 'No'], 1) === 'No') return;
    await command('mnuClearCache');
  },
  mnuClearWindow: () => command('mnuClearWindow'),
  mnuGetRoot: async () => {
    const text = ['This function will start an FTP session with the Internic and download',
      'the latest Internet Root file.', '',
      'The Internet Root records very seldom change, and Vellion',
      'comes with the latest Root file at the time of shipping.'].join('\n');
    if (await ask(text, ['OK', 'Cancel'], 0) !== 'OK') return;
    await command('mnuGetRoot');
  },
  mnuDump: async () => {
    await command('mnuDump');
    const text = ['', 'A support file containing information about your',
      'system and configuration was created as', "'" + home + "/support.txt'",
      'Please send this file to the Vellion support address and',
      'state your question, suggestion or problem.', '',
      'Review the support file with notepad now ?'].join('\n');
    if (await ask(text, ['Yes', 'No'], 0) === 'Yes') window.open('/api/support', '_blank', 'noopener');
  },
  mnuExit: async () => {
    if (await ask('Exit Vellion ?', ['Yes', 'No'], 0) === 'No') return;
    await command('mnuExit');
    document.body.replaceChildren('Vellion has ended.');
  },
};

function showView(name) {
  document.querySelectorAll('nav button').forEach((b) => {
    if (b.dataset.view === name) b.setAttribute('aria-current', 'page'); else b.removeAttribute('aria-current');
  });
  document.querySelectorAll('main > section').forEach((s) => { s.hidden = s.id !== 'view-' + name; });
  if (name === 'leases') loadLeases();
  if (name === 'blocks') loadBlocks();
  if (name === 'cache') loadCache();
  if (name === 'options') loadOptions();
}

// The lease window: rename (mnuDHCPRename) and delete (mnuDHCPDelete).
async function loadLeases() {
  const leases = await getJson('/api/leases');
  const body = $('#leases tbody');
  body.replaceChildren(...leases.map((l) => {
    const tr = document.createElement('tr');
    for (const v of [l.address, l.name, l.expires, l.hardware]) {
      const td = document.createElement('td');
      td.textContent = v;
      tr.append(td);
    }
    const td = document.createElement('td');
    const rename = document.createElement('button');
    rename.type = 'button';
    rename.textContent = 'Rename';
    rename.setAttribute('aria-label', 'Rename ' + l.address);
    rename.addEventListener('click', async () => {
      const [label, name] = await ask('New name for ' + l.address + ':', ['OK', 'Cancel'], 0, true, l.name.split('.')[0]);
      if (label !== 'OK') return;
      await post('/api/do/lease-rename', { address: l.address, name });
      await refresh();
      await loadLeases();
    });
    const del = document.createElement('button');
    del.type = 'button';
    del.textContent = 'Delete';
    del.setAttribute('aria-label', 'Delete ' + l.address);
    del.addEventListener('click', async () => {
      if (await ask('Please re-boot that client to avoid IP-Address conflicts!', ['OK', 'Cancel'], 0) !== 'OK') return;
      await post('/api/do/lease-delete', { address: l.address });
      await loadLeases();
    });
    td.append(rename, ' ', del);
    tr.append(td);
    return tr;
  }));
}

// The block-list dialog (mnuBlock): edited here, stored by OK.
function fillList(select, items) {
  select.replaceChildren(...items.map((ip) => new Option(ip, ip)));
}
function listItems(select) { return [...select.options].map((o) => o.value); }
async function loadBlocks() {
  const b = await getJson('/api/blocks');
  $('#rate').value = b.rate;
  fillList($('#noblock'), b.noblock);
  fillList($('#blocks'), b.blocks);
}
function moveSelected(from, to) {
  for (const o of [...from.selectedOptions]) { o.selected = false; to.append(o); }
}
async function saveBlocks() {
  await post('/api/do/blocks', {
    rate: $('#rate').value,
    noblock: listItems($('#noblock')).join('\n'),
    blocks: listItems($('#blocks')).join('\n'),
  });
  showView('main');
}

// The cache snapshot (mnuViewCache): one line per record, the owner left
// out when it repeats the line before.
let cacheRows = [];
let cacheSort = { key: 'name', dir: 1 };
async function loadCache() {
  const r = await post('/api/do/command', { name: 'mnuViewCache' });
  let owner = '';
  cacheRows = r.snapshot.split(/\r?\n/).filter((l) => l.trim() !== '').map((line) => {
    const parts = line.split(' ');
    if (parts[0] !== '') owner = parts[0];
    const [ttl, type, ...data] = parts.slice(1);
    return { name: owner, ttl: Number(ttl), type, data: data.join(' ') };
  });
  showCache();
}
function showCache() {
  const filter = $('#cache-filter').value.toLowerCase();
  const { key, dir } = cacheSort;
  const rows = cacheRows
    .filter((r) => !filter || (r.name + ' ' + r.type + ' ' + r.data).toLowerCase().includes(filter))
    .sort((a, b) => (a[key] < b[key] ? -dir : a[key] > b[key] ? dir : 0));
  $('#cache-count').textContent = rows.length + ' of ' + cacheRows.length + ' records';
  $('#cache tbody').replaceChildren(...rows.map((r) => {
    const tr = document.createElement('tr');
    for (const v of [r.name, r.ttl, r.type, r.data]) {
      const td = document.createElement('td');
      td.textContent = v;
      tr.append(td);
    }
    return tr;
  }));
}
function sortCache(key) {
  cacheSort = { key, dir: cacheSort.key === key ? -cacheSort.dir : 1 };
  showCache();
}

// The options dialog (mnuOptions): the boxes are cleaned by the server as
// they lose the focus, and OK's checks run there; a failing check names
// its tab, interface and box.
let options = null;
let dhcpIndex = -1;
const cleaned = ['NAME', 'MASTERDIR', 'HOSTS', 'MINTIMEOUT', 'MASTERSYNC', 'Domain'];

function showTab(tab) {
  document.querySelectorAll('[role=tab]').forEach((b) => b.setAttribute('aria-selected', String(b.dataset.tab === tab)));
  document.querySelectorAll('#options fieldset').forEach((f) => { f.hidden = f.dataset.tab !== tab; });
}
function fillOptions(o) {
  options = o;
  const chooser = $('[data-field=PRIMARYIP]');
  const addresses = o.addresses.includes(o.PRIMARYIP) ? o.addresses : [o.PRIMARYIP, ...o.addresses];
  chooser.replaceChildren(...addresses.map((a) => new Option(a, a)));
  document.querySelectorAll('#options [data-field]').forEach((el) => {
    const v = o[el.dataset.field];
    if (el.type === 'checkbox') el.checked = v; else if (v !== undefined) el.value = v;
  });
  fillList($('#opt-ns'), o.NS);
  $('#opt-dhcp-if').replaceChildren(...o.DHCP.map((d, i) => new Option(d.IPaddr, String(i))));
  selectInterface(o.DHCP.length ? 0 : -1);
}
function keepInterface() {
  if (dhcpIndex < 0) return;
  const d = options.DHCP[dhcpIndex];
  document.querySelectorAll('#options [data-dhcp]').forEach((el) => {
    d[el.dataset.dhcp] = el.type === 'checkbox' ? el.checked : el.value;
  });
}
function selectInterface(i) {
  keepInterface();
  dhcpIndex = i;
  $('#opt-dhcp-if').value = String(i);
  const d = options.DHCP[i] || {};
  document.querySelectorAll('#options [data-dhcp]').forEach((el) => {
    if (el.type === 'checkbox') el.checked = !!d[el.dataset.dhcp]; else el.value = d[el.dataset.dhcp] || '';
    el.disabled = i < 0;
  });
}
async function loadOptions() {
  dhcpIndex = -1;
  fillOptions(await getJson('/api/options'));
  showTab('general');
}
async function cleanBox(el) {
  const field = el.dataset.field || el.dataset.dhcp;
  if (!cleaned.includes(field)) return;
  const r = await getJson('/api/options/clean?' + new URLSearchParams({ field, text: el.value }));
  el.value = r.text;
}
async function saveOptions() {
  keepInterface();
  const fields = {};
  document.querySelectorAll('#options [data-field]').forEach((el) => {
    fields[el.dataset.field] = el.type === 'checkbox' ? (el.checked ? '1' : '') : el.value;
  });
  fields.NS = listItems($('#opt-ns')).join('\n');
  fields.dhcp_count = String(options.DHCP.length);
  options.DHCP.forEach((d, i) => {
    for (const [k, v] of Object.entries(d)) fields['dhcp' + i + '_' + k] = k === 'Enable' ? (v ? '1' : '') : v;
  });
  const r = await post('/api/do/options', fields);
  if (r.applied) {
    if (r.message) await ask(r.message, ['OK'], 0);
    showView('main');
    return;
  }
  // The boxes as the checks left them (silent fixes included).
  dhcpIndex = -1;
  fillOptions(r.form);
  await ask(r.message, ['OK'], 0);
  showTab(r.tab);
  if (r.dhcp >= 0) selectInterface(r.dhcp);
  const target = $('#options [data-field=' + r.field + ']') || $('#options [data-dhcp=' + r.field + ']');
  target.focus();
}

// The lookup page (mnuQuery): the server asks itself, the page collects
// the answer.
async function lookUp() {
  const out = $('#lookup-answer');
  out.textContent = '…';
  const asked = await post('/api/do/lookup', { name: $('#lookup-name').value, type: $('#lookup-type').value });
  if (asked.error) { out.textContent = asked.error; return; }
  for (let i = 0; i < 60; i++) {
    const r = await getJson('/api/lookup?id=' + asked.id);
    if (r.done) { out.textContent = r.lines.join('\n'); return; }
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

function run(action) {
  return () => action().catch((e) => ask(String(e.message || e), ['OK'], 0));
}

document.addEventListener('DOMContentLoaded', () => {
  for (const [id, action] of Object.entries(commands)) $('#' + id).addEventListener('click', run(action));
  document.querySelectorAll('nav button').forEach((b) => b.addEventListener('click', () => showView(b.dataset.view)));
  $('#to-blocks').addEventListener('click', () => moveSelected($('#noblock'), $('#blocks')));
  $('#to-noblock').addEventListener('click', () => moveSelected($('#blocks'), $('#noblock')));
  $('#add-block').addEventListener('click', () => { if ($('#block-ip').value) $('#blocks').append(new Option($('#block-ip').value)); });
  $('#add-noblock').addEventListener('click', () => { if ($('#block-ip').value) $('#noblock').append(new Option($('#block-ip').value)); });
  $('#remove-block').addEventListener('click', () => {
    for (const s of [$('#noblock'), $('#blocks')]) [...s.selectedOptions].forEach((o) => o.remove());
  });
  $('#blocks-ok').addEventListener('click', run(saveBlocks));
  $('#blocks-cancel').addEventListener('click', () => showView('main'));
  $('#cache-filter').addEventListener('input', showCache);
  document.querySelectorAll('[role=tab]').forEach((b) => b.addEventListener('click', () => showTab(b.dataset.tab)));
  document.querySelectorAll('#options [data-field], #options [data-dhcp]').forEach((el) => {
    el.addEventListener('change', run(() => cleanBox(el)));
  });
  $('#opt-ns-add').addEventListener('click', () => {
    if ($('#opt-forwarder').value) $('#opt-ns').append(new Option($('#opt-forwarder').value));
  });
  $('#opt-ns-remove').addEventListener('click', () => [...$('#opt-ns').selectedOptions].forEach((o) => o.remove()));
  $('#opt-dhcp-if').addEventListener('change', () => selectInterface(Number($('#opt-dhcp-if').value)));
  $('#opt-dhcp-add').addEventListener('click', () => {
    const ip = $('#opt-dhcp-new').value;
    if (!ip) return;
    keepInterface();
    options.DHCP.push({ IPaddr: ip, Domain: '', ScopeFrom: '', ScopeTo: '', Subnet: '', Gateway: '', TTL: '86400', Enable: true });
    $('#opt-dhcp-if').append(new Option(ip, String(options.DHCP.length - 1)));
    dhcpIndex = -1;
    selectInterface(options.DHCP.length - 1);
  });
  $('#options-ok').addEventListener('click', run(saveOptions));
  $('#lookup').addEventListener('submit', (e) => { e.preventDefault(); run(lookUp)(); });
  $('#options-cancel').addEventListener('click', () => showView('main'));
  document.querySelectorAll('#cache th[data-key]').forEach((th) => {
    th.addEventListener('click', () => sortCache(th.dataset.key));
    th.addEventListener('keydown', (e) => { if (e.key === 'Enter' || e.key === ' ') { e.preventDefault(); sortCache(th.dataset.key); } });
  });
  const tick = () => refresh().catch(() => { $('#badge').textContent = 'no connection'; });
  tick();
  setInterval(tick, 1000);
});
