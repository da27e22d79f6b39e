'use strict';
// The operator console used as an operator would, in Debian's chromium:
// commands and their questions, the log and the graph while dig asks, DNS
// answering while the root hints are fetched, a lease renamed and deleted,
// an address blocked, the cache table, Exit, the switch into service mode.
// Screenshots go to $SCREENSHOTS. Only loopback traffic; the server is
// stopped by its pid whatever happens.

const assert = require('node:assert');
const { spawn, execFileSync } = require('node:child_process');
const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');
const { chromium } = require('playwright-core');

const root = path.resolve(__dirname, '../..');
const vellmain = process.env.VELLMAIN || path.join(root, 'build/vellmain');
const shots = process.env.SCREENSHOTS || path.join(root, 'build/console-screens');

function freePort() {
  return new Promise((resolve) => {
    const s = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = s.address();
      s.close(() => resolve(port));
    });
  });
}

function dig(port, name, source) {
  const args = ['@127.0.0.1', '-p', String(port), '+short', '+time=1', '+tries=1', name, 'A'];
  if (source) args.push('-b', source);
  try {
    return execFileSync('dig', args, { encoding: 'utf8', timeout: 5000 }).trim();
  } catch (e) {
    return 'no answer';  // dig exits non-zero on a time-out
  }
}

async function until(what, test, ms = 5000) {
  const end = Date.now() + ms;
  for (;;) {
    if (await test()) return;
    if (Date.now() > end) throw new Error('timed out waiting for ' + what);
    await new Promise((r) => setTimeout(r, 100));
  }
}

// The box shown, its text, the focused button; then pressing one.
async function answer(page, expectedText, focused, press) {
  const box = page.locator('#box');
  await box.waitFor({ state: 'visible' });
  const text = await page.locator('#box-text').textContent();
  if (expectedText instanceof RegExp) assert.match(text, expectedText); else assert.strictEqual(text, expectedText);
  if (focused) assert.strictEqual(await page.evaluate(() => document.activeElement.textContent), focused);
  await page.locator('#box-buttons button', { hasText: press }).click();
  // Closed, or the next box is up already.
  await until('the box to close', async () =>
    !(await box.isVisible()) || (await page.locator('#box-text').textContent()) !== text);
}

// One run of the server in home, on the given ports; its standard output
// is collected until the console's URL shows. All are stopped at the end.
const servers = [];
async function startServer(home, dnsPort, consolePort, env) {
  const server = spawn(vellmain, ['-n', '--home', home, '--dns-port', String(dnsPort),
    '--console', '127.0.0.1:' + consolePort], { stdio: ['ignore', 'pipe', 'inherit'], env: { ...process.env, ...env } });
  let out = '';
  server.stdout.on('data', (d) => { out += d; });
  servers.push(server);
  await until('the console URL', () => /Console: (\S+)/.test(out));
  server.url = /Console: (\S+)/.exec(out)[1];
  return server;
}

async function main() {
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'vellion-console-'));
  fs.cpSync(path.join(root, 'demo'), home, { recursive: true });
  fs.writeFileSync(path.join(home, 'dhcp.dat'),
    '; Vellion - DHCP Leases\r\nlaptop.vellion.test 127.0.0.77 01aabbccddee01 aabbccddee01 2030-01-01 00:00:00\r\n');
  fs.mkdirSync(shots, { recursive: true });
  const dnsPort = await freePort();
  const consolePort = await freePort();
  let browser;
  try {
    const server = await startServer(home, dnsPort, consolePort, { VELLION_GETROOT: 'sleep 3 && touch getroot.ran' });
    browser = await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', args: ['--no-sandbox'] });
    const page = await browser.newPage({ viewport: { width: 1000, height: 800 } });
    const errors = [];
    page.on('pageerror', (e) => errors.push(String(e)));
    page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
    await page.goto(server.url);
    await until('the status bar', async () => (await page.textContent('#status')).startsWith('Uptime:'));
    assert.strictEqual(await page.textContent('#badge'), 'running');

    // Pause and start again: the caption follows the state.
    await page.click('#mnuStartStop');
    await until('the Start caption', async () => (await page.textContent('#mnuStartStop')) === 'Start Server');
    assert.strictEqual(dig(dnsPort, 'www.vellion.test'), 'no answer');
    assert.strictEqual(await page.getAttribute('#mnuStartStop', 'accesskey'), 's');
    await page.focus('#mnuStartStop');
    await page.keyboard.press('Enter');
    await until('the Pause caption', async () => (await page.textContent('#mnuStartStop')) === 'Pause Server');

    // The log and the graph while queries arrive.
    for (let i = 0; i < 10; i++) assert.match(dig(dnsPort, 'www.vellion.test'), /127\.0\.0\.8/);
    await until('the log line', async () => (await page.textContent('#log')).includes('www.vellion.test'));
    await until('the graph', async () => Number(await page.getAttribute('#graph', 'data-total')) >= 10);
    await page.screenshot({ path: path.join(shots, 'main.png'), fullPage: true });

    // mnuReload: a changed zone file is answered after the command.
    assert.strictEqual(dig(dnsPort, 'new.vellion.test'), '127.0.0.99');
    fs.appendFileSync(path.join(home, 'data/vellion.test.dns'), 'new IN A 127.0.0.66\n');
    await page.click('#mnuReload');
    await until('the reloaded zone', () => dig(dnsPort, 'new.vellion.test') === '127.0.0.66');

    // mnuClearCache: No is the default and changes nothing; Yes clears.
    await page.click('#mnuClearCache');
    await answer(page, 'Are you sure you want to clear the cached records ?', 'No', 'No');
    await page.click('#mnuClearCache');
    await answer(page, 'Are you sure you want to clear the cached records ?', 'No', 'Yes');
    await until('the clear', async () => (await page.textContent('#log')).includes('Cache cleared by operator'));
    assert.strictEqual((await page.textContent('#log')).split('Cache cleared by operator').length, 2);

    // mnuClearWindow empties the log window; mnuGetRoot's fetch command
    // runs in the program directory after its box while DNS goes on
    // answering, and the root hints are loaded once it has ended.
    await page.click('#mnuClearWindow');
    await until('the empty log', async () => (await page.textContent('#log')) === '');
    await page.click('#mnuGetRoot');
    await answer(page, ['This function will start an FTP session with the Internic and download',
      'the latest Internet Root file.', '', 'The Internet Root records very seldom change, and Vellion',
      'comes with the latest Root file at the time of shipping.'].join('\n'), 'OK', 'OK');
    const ran = path.join(home, 'getroot.ran');
    let answered = 0;
    for (let i = 0; i < 50 && !fs.existsSync(ran); i++, answered++) {
      assert.match(dig(dnsPort, 'www.vellion.test'), /127\.0\.0\.8/);
      assert.ok(!(await page.textContent('#log')).includes('Loading Root DNS server records...'));
      await new Promise((r) => setTimeout(r, 200));
    }
    assert.ok(answered >= 5 && fs.existsSync(ran), 'answers during the fetch: ' + answered);
    await until('the root hints loaded', async () =>
      (await page.textContent('#log')).includes('Loading Root DNS server records...'));
    let support = null;
    page.context().once('page', (p) => { support = p; });
    await page.click('#mnuDump');
    await answer(page, /^An error has occured in Vellion!\n/, 'OK', 'OK');
    await answer(page, ['', 'A support file containing information about your', 'system and configuration was created as',
      "'" + home + "/support.txt'", 'Please send this file to the Vellion support address and',
      'state your question, suggestion or problem.', '', 'Review the support file with notepad now ?'].join('\n'), 'Yes', 'Yes');
    await until('the support file page', () => support);
    await support.waitForLoadState();
    const written = fs.readFileSync(path.join(home, 'support.txt'), 'latin1');
    assert.match(written, new RegExp('^Vellion support information\r\n[^]*\r\nProgram directory: ' + home + '\r\n'));
    // The page shows the text as written (the viewer adds a line end).
    assert.strictEqual((await support.textContent('pre')).trimEnd(), written.replace(/\r\n/g, '\n').trimEnd());
    await support.close();

    // The lease window: rename, then delete, each seen by dig.
    assert.strictEqual(dig(dnsPort, 'laptop.vellion.test'), '127.0.0.77');
    await page.click('nav button[data-view=leases]');
    await page.click('button[aria-label="Rename 127.0.0.77"]');
    await page.fill('#box-input', 'desk');
    await page.locator('#box-buttons button', { hasText: 'OK' }).click();
    await until('the new name', async () => (await page.textContent('#leases')).includes('desk.vellion.test.'));
    assert.strictEqual(dig(dnsPort, 'desk.vellion.test'), '127.0.0.77');
    // The old name falls back to the zone's wildcard.
    assert.strictEqual(dig(dnsPort, 'laptop.vellion.test'), '127.0.0.99');
    await page.screenshot({ path: path.join(shots, 'leases.png'), fullPage: true });
    await page.click('button[aria-label="Delete 127.0.0.77"]');
    await answer(page, 'Please re-boot that client to avoid IP-Address conflicts!', 'OK', 'OK');
    await until('the empty table', async () => (await page.locator('#leases tbody tr').count()) === 0);
    assert.strictEqual(dig(dnsPort, 'desk.vellion.test'), '127.0.0.99');

    // The block list: an address blocked here gets no answers.
    assert.match(dig(dnsPort, 'www.vellion.test', '127.0.0.2'), /127\.0\.0\.8/);
    await page.click('#mnuBlock');
    await page.fill('#block-ip', '127.0.0.2');
    await page.click('#add-block');
    await page.screenshot({ path: path.join(shots, 'blocks.png'), fullPage: true });
    await page.click('#blocks-ok');
    await until('the main view', () => page.isVisible('#view-main'));
    assert.strictEqual(dig(dnsPort, 'www.vellion.test', '127.0.0.2'), 'no answer');
    assert.match(dig(dnsPort, 'www.vellion.test'), /127\.0\.0\.8/);

    // The cache snapshot as a table: filtered, sorted by TTL.
    await page.click('#mnuViewCache');
    await until('the cache rows', async () => (await page.locator('#cache tbody tr').count()) > 10);
    await page.fill('#cache-filter', 'root-servers');
    const rows = await page.locator('#cache tbody tr').count();
    assert.ok(rows > 0 && (await page.textContent('#cache-count')).startsWith(rows + ' of '));
    await page.focus('#cache th[data-key=ttl]');
    await page.keyboard.press('Enter');
    await page.screenshot({ path: path.join(shots, 'cache.png'), fullPage: true });

    // The lookup page asks the server itself.
    await page.click('#mnuQuery');
    await page.fill('#lookup-name', 'vellion.test');
    await page.fill('#lookup-type', 'mx');
    await page.press('#lookup-type', 'Enter');
    await until('the answer', async () => (await page.textContent('#lookup-answer')).includes('MX-record'));
    assert.match(await page.textContent('#lookup-answer'), /^Answer: MX-record for vellion\.test\..*mail\.vellion\.test\./m);
    await page.screenshot({ path: path.join(shots, 'lookup.png'), fullPage: true });

    // mnuOptions: cleaning on leaving a box; a check's message, tab and
    // focus; a disabled interface is not checked; OK applies.
    await page.click('#mnuOptions');
    await page.click('[role=tab][data-tab=dns]');
    await page.fill('[data-field=MINTIMEOUT]', ' -12.7 ');
    await page.click('[role=tab][data-tab=general]');
    await page.fill('[data-field=NAME]', '');
    await until('the cleaned box', async () => (await page.inputValue('[data-field=MINTIMEOUT]')) === '12');
    await page.click('#options-ok');
    await answer(page, 'Please enter server name!', 'OK', 'OK');
    assert.strictEqual(await page.evaluate(() => document.activeElement.dataset.field), 'NAME');
    await page.fill('[data-field=NAME]', ' Edge..Box. ');
    await page.click('[role=tab][data-tab=dhcp]');
    await page.fill('#opt-dhcp-new', '192.168.1.1');
    await page.click('#opt-dhcp-add');
    await page.fill('[data-dhcp=Domain]', 'lan');
    await page.fill('[data-dhcp=ScopeFrom]', '192.168.1.200');
    await page.fill('[data-dhcp=ScopeTo]', '192.168.1.100');
    await page.fill('[data-dhcp=Subnet]', '255.255.255.254');
    await page.click('[role=tab][data-tab=general]');
    await page.click('#options-ok');
    await answer(page, 'Invalid subnet mask for DHCP!', 'OK', 'OK');
    assert.strictEqual(await page.evaluate(() => document.activeElement.dataset.dhcp), 'Subnet');
    assert.ok(await page.isVisible('[data-dhcp=Subnet]'));
    assert.ok(!(await page.isVisible('[data-field=NAME]')));
    assert.strictEqual(await page.inputValue('[data-field=NAME]'), 'edge.box');
    await page.screenshot({ path: path.join(shots, 'options.png'), fullPage: true });
    await page.uncheck('[data-dhcp=Enable]');
    await page.click('#options-ok');
    await until('the new title', async () => (await page.textContent('#title')) === 'edge.box - Vellion');
    const ini = fs.readFileSync(path.join(home, 'vellion.ini'), 'latin1');
    assert.match(ini, /^Name: edge\.box\r$/m);
    assert.match(ini, /^MinTimeOut: 12\r$/m);
    assert.doesNotMatch(ini, /^DHCP:/m);

    // mnuExit: the server ends.
    await page.click('nav button[data-view=main]');
    await page.click('#mnuExit');
    await answer(page, 'Exit Vellion ?', 'Yes', 'Yes');
    await until('the end of the server', () => server.exitCode !== null);
    assert.deepStrictEqual(errors, []);

    // The options dialog's switch into service mode: the unit is enabled
    // through systemctl (a fake noting its arguments), and the run ends for
    // the service to take over.
    const units = fs.mkdtempSync(path.join(home, 'units-'));
    const calls = path.join(home, 'systemctl.calls');
    const fake = path.join(home, 'systemctl');
    fs.writeFileSync(fake, '#!/bin/sh\necho "$@" >> "' + calls + '"\n', { mode: 0o755 });
    // The making of a service user, when the program directory is root's.
    const userCalls = path.join(home, 'user.calls');
    const userFake = path.join(home, 'user-commands');
    fs.writeFileSync(userFake, '#!/bin/sh\necho "$@" >> "' + userCalls + '"\n', { mode: 0o755 });
    const service = await startServer(home, dnsPort, consolePort, {
      VELLION_UNIT_DIR: units,
      VELLION_SYSTEMCTL: fake,
      VELLION_USERADD: userFake,
      VELLION_CHOWN: userFake,
    });
    await page.goto(service.url);
    await page.click('#mnuOptions');
    await page.check('[data-field=service]');
    await page.click('#options-ok');
    await answer(page, '\nNT System Service Installed!\nVellion will now be restarted.', 'OK', 'OK');
    await until('the end of the run', () => service.exitCode !== null);
    assert.strictEqual(fs.readFileSync(calls, 'utf8'), 'daemon-reload\nenable vellion\nstart vellion\n');
    const rootOwned = fs.statSync(home).uid === 0;
    assert.strictEqual(
      fs.existsSync(userCalls) && fs.readFileSync(userCalls, 'utf8'),
      rootOwned &&
        `--system --user-group --no-create-home --home-dir ${home} --shell /usr/sbin/nologin vellion\n` +
          `-R -h -- vellion:vellion ${home}\n`,
    );
    assert.match(fs.readFileSync(path.join(home, 'vellion.ini'), 'latin1'), /^NTService: YES\r$/m);
    console.log('console browser test passed; screenshots in ' + shots);
  } finally {
    if (browser) await browser.close();
    for (const server of servers.filter((s) => s.exitCode === null)) {
      const ended = new Promise((r) => server.once('exit', r));
      server.kill('SIGTERM');
      await ended;
    }
    fs.rmSync(home, { recursive: true, force: true });
  }
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
