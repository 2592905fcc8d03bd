// One whole run of the peer, as a script would do it: launch Chromium, the four factory sizes
// of one page, a PNG file each, close. Usage: node playwright-whole.js URL vp|full OUTDIR
const { chromium } = require('playwright-core');
const fs = require('fs');
const [url, full, outdir] = [process.argv[2], process.argv[3] === 'full', process.argv[4]];
const SIZES = [[1920,1080],[1280,800],[834,1194],[390,844]];
(async () => {
  const browser = await chromium.launch({ executablePath: require('child_process').execSync('command -v chromium').toString().trim(),
    args: ['--headless','--no-sandbox','--disable-gpu','--no-first-run','--disable-background-networking','--disable-component-update','--disable-sync'] });
  const page = await (await browser.newContext({ deviceScaleFactor: 1 })).newPage();
  fs.mkdirSync(outdir, { recursive: true });
  for (const [w, h] of SIZES) {
    await page.setViewportSize({ width: w, height: h });
    await page.goto(url, { waitUntil: 'load' });
    fs.writeFileSync(`${outdir}/${w}x${h}.png`, await page.screenshot({ fullPage: full, type: 'png' }));
  }
  await browser.close();
})().catch(e => { console.error(e); process.exit(1); });
