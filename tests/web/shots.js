const puppeteer = require('puppeteer-core');
const fs = require('fs');
(async () => {
  const rows = process.argv[2].split(',');
  const b = await puppeteer.launch({executablePath: '/usr/bin/chromium', protocolTimeout: 900000, args: ['--headless=new', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader']});
  const p = await b.newPage();
  p.on('console', m => console.log('console', m.type(), m.text()));
  const t0 = Date.now();
  await p.goto('http://127.0.0.1:8000/index.html?shot=' + rows.join(','));
  for (const row of rows) {
    await p.waitForFunction((r) => document.title === 'shot ' + r + ' ready' || document.title.includes('failed'), {timeout: 900000, polling: 500}, row);
    console.log(await p.title(), (Date.now() - t0) / 1000, 's');
    const url = await p.evaluate(() => document.getElementById('canvas').toDataURL('image/png'));
    fs.writeFileSync('/tmp/web/row_' + row + '.png', Buffer.from(url.split(',')[1], 'base64'));
    await p.evaluate(() => window.nextShot());
  }
  await b.close();
})();
