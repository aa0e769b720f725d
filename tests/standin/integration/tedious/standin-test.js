// tds-standin through tedious, a client library that reads the wire differently from FreeTDS.
// Usage: node standin-test.js PATH_TO_TDS_STANDIN. Exit 0 = pass, 1 = fail, 77 = tedious missing.
'use strict';

const { spawn } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

let tedious;
try {
  tedious = require('tedious');
} catch (e) {
  console.error('tedious is not installed here (npm ci): ' + e.message);
  process.exit(77);
}
const { Connection, Request } = tedious;

const binary = process.argv[2];
const dataDir = fs.mkdtempSync(path.join(os.tmpdir(), 'korvid-tedious-'));
let server;
let failures = 0;

function check(condition, what) {
  if (!condition) {
    failures++;
    console.error('FAIL: ' + what);
  } else {
    console.log('ok: ' + what);
  }
}

function cleanup() {
  if (server && server.exitCode === null) server.kill('SIGTERM');
  fs.rmSync(dataDir, { recursive: true, force: true });
}

// No step may wait for ever.
const watchdog = setTimeout(() => {
  console.error('FAIL: the test did not finish within 90 s');
  cleanup();
  process.exit(1);
}, 90000);

function startServer() {
  return new Promise((resolve, reject) => {
    // Node cannot ask for a parent-death signal itself; setpriv (util-linux) can, so a killed
    // test takes its server with it. The server's stderr is a pipe of ours, not ctest's.
    const args = ['--data', dataDir, '--port', '0', '--sa-password', 'pw'];
    const setpriv = ['/usr/bin/setpriv', '/bin/setpriv'].find((p) => fs.existsSync(p));
    server = setpriv
      ? spawn(setpriv, ['--pdeathsig', 'KILL', '--', binary, ...args], { stdio: ['ignore', 'pipe', 'pipe'] })
      : spawn(binary, args, { stdio: ['ignore', 'pipe', 'pipe'] });
    server.stderr.on('data', (chunk) => process.stderr.write(chunk));
    let seen = '';
    server.stdout.on('data', (chunk) => {
      seen += chunk.toString();
      const m = /listening on 127\.0\.0\.1:(\d+)/.exec(seen);
      if (m) resolve(Number(m[1]));
    });
    server.on('exit', (code) => reject(new Error('tds-standin ended early with ' + code)));
  });
}

function connect(port, password) {
  return new Promise((resolve, reject) => {
    const c = new Connection({
      server: '127.0.0.1',
      authentication: { type: 'default', options: { userName: 'sa', password } },
      options: {
        port,
        database: 'master',
        encrypt: false,
        trustServerCertificate: true,
        tdsVersion: '7_1',
        connectTimeout: 10000,
        requestTimeout: 10000,
      },
    });
    c.on('connect', (err) => (err ? reject(err) : resolve(c)));
    c.on('error', () => {});
    c.connect();
  });
}

// Plain SQL batches, as Korvid sends them (execSql would go through sp_executesql as an RPC).
function query(c, sql, onRow) {
  return new Promise((resolve, reject) => {
    const rows = [];
    const r = new Request(sql, (err) => (err ? reject(err) : resolve(rows)));
    r.on('row', (columns) => {
      rows.push(columns.map((col) => col.value));
      if (onRow) onRow(r, rows.length);
    });
    c.execSqlBatch(r);
  });
}

function rpc(c, sql) {
  return new Promise((resolve, reject) => {
    c.execSql(new Request(sql, (err) => (err ? reject(err) : resolve())));
  });
}

function close(c) {
  return new Promise((resolve) => {
    c.on('end', resolve);
    c.close();
  });
}

const LIST = 'select name  from sysdatabases ORDER BY name';

async function main() {
  const port = await startServer();

  // Login refused: the server's own message reaches the application.
  try {
    const c = await connect(port, 'wrong');
    check(false, 'a wrong password is refused');
    await close(c);
  } catch (e) {
    check(/Login failed for user 'sa'\./.test(e.message), 'refused login names sa: ' + e.message);
  }

  // Login accepted and the database list.
  const a = await connect(port, 'pw');
  const names = (await query(a, LIST)).map((r) => r[0]);
  check(JSON.stringify(names.slice(0, 4)) === JSON.stringify(['master', 'model', 'msdb', 'tempdb']),
        'database list starts master, model, msdb, tempdb: ' + JSON.stringify(names));

  // An error inside a batch is reported with its number and the session goes on.
  try {
    await query(a, 'select name from no_such_table');
    check(false, 'an unknown table is an error');
  } catch (e) {
    check(e.number === 208, 'unknown table gives 208: ' + e.message);
  }
  check((await query(a, LIST)).length === names.length, 'the session goes on after an error');

  // Remote procedure calls are refused with an error, not left unanswered.
  try {
    await rpc(a, LIST);
    check(false, 'an RPC is refused');
  } catch (e) {
    check(e.number === 2812, 'an RPC is refused with 2812: ' + e.message);
  }
  check((await query(a, LIST)).length === names.length, 'the session goes on after an RPC');

  // Two connections at once, both answering while the other is open.
  const b = await connect(port, 'pw');
  const [ra, rb] = await Promise.all([query(a, LIST), query(b, LIST)]);
  check(ra.length === names.length && rb.length === names.length, 'two sessions answer at once');

  // Cancel after the first row: tedious sends an attention and waits for its acknowledgement.
  try {
    await query(b, LIST, (r, n) => {
      if (n === 1) b.cancel();
    });
    check(true, 'cancelled request ended');
  } catch (e) {
    check(e.code === 'ECANCEL', 'cancel ends the request: ' + e.code);
  }
  check((await query(b, LIST)).length === names.length, 'the next request after a cancel runs');

  // A detached file's header: sql_variant values of both base types, nchar paths.
  const mdf = path.join(dataDir, 'files', 'shop.mdf');
  const ldf = path.join(dataDir, 'files', 'shop_log.ldf');
  fs.mkdirSync(path.dirname(mdf), { recursive: true });
  await query(a, `CREATE DATABASE shop ON (NAME = shop, FILENAME = '${mdf}') ` +
                 `LOG ON (NAME = shop_log, FILENAME = '${ldf}')`);
  await query(a, "EXEC sp_detach_db @dbname = 'shop'");
  const props = await query(a, `dbcc checkprimaryfile (N'${mdf}',2) `);
  check(props.length === 3 && props[0][1] === 'shop' && props[1][1] === 539 &&
        Number.isInteger(props[2][1]), 'option 2 gives name, version 539, collation id: ' +
        JSON.stringify(props));
  const files = await query(a, `dbcc checkprimaryfile (N'${mdf}',3) `);
  check(files.length >= 2 && files[0][3].trim() === mdf && files[1][3].trim() === ldf,
        'option 3 lists the recorded files: ' + JSON.stringify(files.map((r) => r[3].trim())));
  await query(a, `sp_attach_db  N'shop', N'${mdf}', N'${ldf}'`);
  check((await query(a, LIST)).some((r) => r[0] === 'shop'), 'the attached database is listed');

  await close(a);
  await close(b);
}

main()
  .catch((e) => {
    failures++;
    console.error('FAIL: ' + (e && e.stack ? e.stack : e));
  })
  .finally(() => {
    clearTimeout(watchdog);
    cleanup();
    process.exit(failures === 0 ? 0 : 1);
  });
