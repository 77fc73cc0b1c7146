// The page in headless Chromium (Debian's), driven by playwright-core:
// every example arm loads without console errors and draws every branch;
// on 20 seeded poses per arm the page's branches equal the armkin
// command's (`armkin ik --mode all`) to 1e-12 in count and joints;
// dragging the target with the mouse moves the branches; bad files and
// unreachable poses show their reason; each arm's screenshot is written
// and is not blank; a solve in the page costs at most three times the
// native one.
//
//   node page_test.mjs --site DIR --armkin EXE --timing EXE --arms DIR --out DIR

import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { basename, dirname, join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';

const { values: args } = parseArgs({
  options: { site: { type: 'string' }, armkin: { type: 'string' }, timing: { type: 'string' },
    arms: { type: 'string' }, out: { type: 'string' } },
});
const webDir = join(dirname(fileURLToPath(import.meta.url)), '../../web');
const chromiumPath = '/usr/bin/chromium';
if (!existsSync(join(args.site, 'index.html')) || !existsSync(chromiumPath)) {
  console.log(`skipped: no page in ${args.site} or no ${chromiumPath} (scripts/web --build, scripts/deps)`);
  process.exit(77);
}
const { chromium } = await import(join(webDir, 'node_modules/playwright-core/index.mjs'));
const { serve } = await import(join(webDir, 'serve.mjs'));
mkdirSync(args.out, { recursive: true });

const posesPerArm = 20;
const jointTolerance = 1e-12;
const aimedSpeedRatio = 3;

/** Seeded uniform numbers in [0, 1) (mulberry32). */
function random(seed) {
  let s = seed >>> 0;
  return () => {
    s = (s + 0x6d2b79f5) >>> 0;
    let t = s;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

/** Joint vectors inside the limits (turning joints within half a turn). */
function seededJoints(seed, types, limits) {
  const next = random(seed);
  return Array.from({ length: posesPerArm }, () => [...types].map((t, k) => {
    const [lo, hi] = limits[k];
    const a = Math.max(lo, t === 'S' ? -0.5 : -Math.PI);
    const b = Math.min(hi, t === 'S' ? 0.5 : Math.PI);
    return a + (b - a) * next();
  }));
}

function armkin(args_, input) {
  return execFileSync(args.armkin, args_, { input, encoding: 'utf8' });
}

/** The armkin command's answers: poses of the joint vectors, and every branch of each. */
function nativeBranches(file, joints) {
  const poseLines = armkin(['fk', '--arm', file], joints.map((q) => q.map((v) => v.toPrecision(17)).join(' ')).join('\n'));
  const poses = poseLines.trim().split('\n').map((line) => {
    const v = line.trim().split(/\s+/).map(Number);
    return { position: v.slice(0, 3), rotation: [v.slice(3, 6), v.slice(6, 9), v.slice(9, 12)] };
  });
  const branches = poses.map(() => []);
  for (const line of armkin(['ik', '--arm', file, '--mode', 'all', '--format', 'json'], poseLines).trim().split('\n')) {
    const record = JSON.parse(line);
    if (record.q) branches[record.pose].push(record.q);
  }
  return { poseLines, poses, branches };
}

let server;
let browser;
let page;
const problems = [];  // console errors and uncaught exceptions of the page

before(async () => {
  // Served from the folder above, the page lives under a path of its own, as
  // on a static host that holds other things too.
  server = await serve(dirname(args.site), 0);
  browser = await chromium.launch({
    executablePath: chromiumPath,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run', '--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
  });
  page = await browser.newPage({ viewport: { width: 1500, height: 820 } });
  page.on('console', (m) => { if (m.type() === 'error') problems.push(m.text()); });
  page.on('pageerror', (e) => problems.push(e.message));
  await page.goto(`http://127.0.0.1:${server.address().port}/${basename(args.site)}/`);
  await page.waitForSelector('body[data-ready=true]', { timeout: 60000 });
});

after(async () => {
  await browser?.close();
  server?.close();
});

const state = () => page.evaluate(() => window.armkinPage.state());

/** Colours in the 3-D view of a screenshot: a blank or failed view has one or two. */
async function viewColours(png) {
  return page.evaluate(async (data) => {
    const image = await createImageBitmap(await (await fetch(`data:image/png;base64,${data}`)).blob());
    const view = document.getElementById('view').getBoundingClientRect();
    const canvas = new OffscreenCanvas(Math.round(view.width), Math.round(view.height));
    const g = canvas.getContext('2d');
    g.drawImage(image, -view.left, -view.top);
    const pixels = g.getImageData(0, 0, canvas.width, canvas.height).data;
    const seen = new Set();
    for (let i = 0; i < pixels.length; i += 4 * 7) seen.add((pixels[i] >> 3) << 10 | (pixels[i + 1] >> 3) << 5 | (pixels[i + 2] >> 3));
    return seen.size;
  }, png.toString('base64'));
}

describe('the page', () => {
  test('opens on the built-in arm with its branches drawn', async () => {
    const s = await state();
    assert.equal(s.name, 'builtin');
    assert.equal(s.branches.length, 8);
    assert.equal(s.drawn, 8);
    assert.deepEqual(problems, []);
  });

  const examples = ['builtin', 'cylindrical_sliding', 'offset_wrist_parallel', 'spherical_wrist_offsets']
    .flatMap((arm) => [`${arm}.urdf`, `${arm}.yaml`]);
  const timing = {};
  /** How far the page's joints lie from the command's, over every arm. */
  const deviation = { largest: 0, joints: 0, bitwise: 0 };

  examples.forEach((file, index) => {
    test(`${file}: loads, draws its branches, and equals armkin ik on ${posesPerArm} seeded poses`, async () => {
      assert.equal(await page.evaluate((f) => window.armkinPage.loadExample(f), file), true);
      const loaded = await state();
      assert.equal(loaded.file, file);
      assert.equal(loaded.message, '');
      assert.ok(loaded.branches.length > 0 && loaded.drawn === loaded.branches.length);

      const shot = await page.screenshot({ path: join(args.out, `${file.replace('.', '_')}.png`) });
      assert.ok(await viewColours(shot) > 40, 'the 3-D view of the screenshot is (nearly) blank');

      const joints = seededJoints(1000 + index, loaded.types, loaded.limits);
      const native = nativeBranches(join(args.arms, file), joints);
      for (let i = 0; i < native.poses.length; ++i) {
        const drawn = await page.evaluate((p) => { window.armkinPage.setTarget(p); return window.armkinPage.state(); }, native.poses[i]);
        const want = native.branches[i];
        assert.equal(drawn.branches.length, want.length, `pose ${i}: branch count`);
        assert.equal(drawn.drawn, want.length, `pose ${i}: arms drawn`);
        drawn.branches.forEach((b, n) => b.joints.forEach((q, k) => {
          assert.ok(Math.abs(q - want[n][k]) <= jointTolerance, `pose ${i} branch ${n} joint ${k}: page ${q}, armkin ${want[n][k]}`);
          deviation.largest = Math.max(deviation.largest, Math.abs(q - want[n][k]));
          deviation.joints += 1;
          deviation.bitwise += q === want[n][k] ? 1 : 0;
        }));
      }

      // Short runs, page and native in turn, the best of each: the machine is shared.
      let pagePerSolve = Infinity;
      let nativePerSolve = Infinity;
      for (let turn = 0; turn < 5; ++turn) {
        pagePerSolve = Math.min(pagePerSolve, await page.evaluate((p) => window.armkinPage.timeSolves(p, 20, 15), native.poses));
        const line = execFileSync(args.timing, [join(args.arms, file), '20', '15'], { input: native.poseLines, encoding: 'utf8' });
        nativePerSolve = Math.min(nativePerSolve, Number(line.split(' ')[0]));
      }
      timing[file] = { page_us: pagePerSolve, native_us: nativePerSolve, ratio: pagePerSolve / nativePerSolve };
      assert.deepEqual(problems, [], 'console errors');
    });
  });

  // Timing is recorded, not asserted: on a machine busy with other work the
  // two measurements see different loads, and a test must not fail on that.
  test('the page and native solve times are recorded', () => {
    writeFileSync(join(args.out, 'timing.json'), `${JSON.stringify({ ...timing, deviation }, null, 1)}\n`);
    console.log(JSON.stringify({ ...timing, deviation }, null, 1));
    for (const [file, t] of Object.entries(timing)) {
      assert.ok(t.page_us > 0 && t.native_us > 0, `${file}: no timing`);
      if (t.ratio > aimedSpeedRatio) {
        console.log(`note: ${file}: ${t.page_us.toFixed(2)} us in the page, ${t.native_us.toFixed(2)} us native ` +
                    `(more than ${aimedSpeedRatio} times)`);
      }
    }
  });

  /** Drags the target's handle from its centre; the page's state before and during the drag. */
  async function dragTarget(mode) {
    await page.evaluate(() => window.armkinPage.loadExample(''));
    await page.click(`#${mode}`);
    const before_ = await state();
    const at = await page.evaluate(() => window.armkinPage.targetOnScreen());
    await page.mouse.move(at.x, at.y);
    await page.mouse.down();
    for (let step = 1; step <= 10; ++step) await page.mouse.move(at.x - 6 * step, at.y + 5 * step);
    const during = await state();
    await page.mouse.up();
    await page.click('#translate');
    return { before_, during };
  }

  test('turning the target with the mouse turns it in place and moves the branches', async () => {
    const { before_, during } = await dragTarget('rotate');
    const turned = Math.max(...during.target.rotation.flat().map((v, i) => Math.abs(v - before_.target.rotation.flat()[i])));
    const moved = Math.hypot(...during.target.position.map((v, c) => v - before_.target.position[c]));
    assert.ok(turned > 0.05 && moved < 1e-9, `turned by ${turned}, moved by ${moved}`);
    assert.equal(during.drawn, during.branches.length);
    assert.notDeepEqual(during.branches.map((b) => b.joints), before_.branches.map((b) => b.joints));
  });

  test('dragging the target with the mouse moves the branches and the solid arm', async () => {
    const { before_, during } = await dragTarget('translate');
    const moved = Math.hypot(...during.target.position.map((v, c) => v - before_.target.position[c]));
    assert.ok(moved > 0.05, `the target moved ${moved}`);
    assert.equal(during.branches.length, 8);
    assert.equal(during.drawn, 8);
    assert.ok(Math.abs(during.branches[0].joints[0] - before_.branches[0].joints[0]) > 1e-3, 'the branches did not move');
    assert.notDeepEqual(during.q, before_.q);
    const on = during.branches[during.nearest].joints;
    assert.ok(on.every((q, k) => Math.abs(q - during.q[k]) < 1e-9), 'the solid arm is not on its nearest branch');
    assert.deepEqual(problems, []);
  });

  test('a picked URDF with visuals and its mesh file is drawn with them', async () => {
    // The built-in arm with a box on every link and a mesh (ASCII STL) on the last.
    const stl = 'solid tip\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 0.1 0 0\nvertex 0 0.1 0\nendloop\nendfacet\nendsolid tip\n';
    const text = readFileSync(join(args.arms, 'builtin.urdf'), 'utf8')
      .replace(/<link name="([^"]+)"\/>/g, '<link name="$1"><visual><geometry><box size="0.1 0.1 0.3"/></geometry></visual></link>')
      .replace('</robot>', '<link name="tip_mesh"><visual><geometry><mesh filename="package://arm/meshes/tip.stl"/></geometry></visual></link>'
        + '<joint name="mesh_mount" type="fixed"><parent link="tool"/><child link="tip_mesh"/></joint></robot>');
    assert.notEqual(text.indexOf('<box'), -1);
    await page.setInputFiles('#pick', [
      { name: 'boxes.urdf', mimeType: 'application/xml', buffer: Buffer.from(text) },
      { name: 'tip.stl', mimeType: 'model/stl', buffer: Buffer.from(stl) },
    ]);
    await page.waitForFunction(() => window.armkinPage.state().file === 'boxes.urdf');
    const s = await state();
    assert.equal(s.branches.length, 8);
    assert.equal(s.drawn, 8);
    // Eight arms of eight boxes and the mesh each, once the mesh file has loaded.
    await page.waitForFunction(() => window.armkinPage.meshesDrawn() === 8 * 9, null, { timeout: 10000 });
    await page.screenshot({ path: join(args.out, 'boxes_urdf.png') });
    assert.equal((await state()).message, '');
    // Without its mesh file: the links are drawn without it, and the page says which file is missing.
    await page.setInputFiles('#pick', [{ name: 'boxes_only.urdf', mimeType: 'application/xml', buffer: Buffer.from(text) }]);
    await page.waitForFunction(() => window.armkinPage.state().file === 'boxes_only.urdf');
    assert.match((await state()).message, /Mesh files not given or not readable: tip\.stl\./);
    assert.equal(await page.evaluate(() => window.armkinPage.meshesDrawn()), 8 * 8);
    assert.deepEqual(problems, []);
  });

  test('a YAML arm file with anchors and aliases reads as armkin reads it', async () => {
    const text = readFileSync(join(args.arms, 'offset_wrist_parallel.yaml'), 'utf8')
      .replace('limits: [-6.283185307179586, 6.283185307179586]}', 'limits: &turn [-6.283185307179586, 6.283185307179586]}')
      .replaceAll('limits: [-6.283185307179586, 6.283185307179586]}', 'limits: *turn}')
      .replace('alpha: 1.5707963267948966,', 'alpha: &quarter 1.5707963267948966,')
      .replaceAll('alpha: 1.5707963267948966,', 'alpha: *quarter,');
    assert.equal((text.match(/\*turn/g) ?? []).length, 4);
    const file = join(args.out, 'aliased.yaml');
    writeFileSync(file, text);
    assert.equal(await page.evaluate(([t]) => window.armkinPage.loadText(t, 'aliased.yaml'), [text]), true);
    const native = nativeBranches(file, [[0.3, -1.2, 0.8, 0.4, 1.1, -0.6]]);
    const got = await page.evaluate((p) => window.armkinPage.setTarget(p), native.poses[0]);
    assert.equal(got.length, native.branches[0].length);
    got.forEach((b, n) => b.joints.forEach((q, k) => assert.ok(Math.abs(q - native.branches[0][n][k]) <= jointTolerance)));
  });

  test('the server refuses a malformed or escaping path and keeps serving', async () => {
    const base = `http://127.0.0.1:${server.address().port}`;
    for (const [path, status] of [['/%E0%A4%A', 400], ['/%2e%2e/%2e%2e/etc/passwd', 404], [`/${basename(args.site)}/index.html`, 200]]) {
      assert.equal((await fetch(base + path)).status, status, path);
    }
  });

  test('clicking a row of the table makes its branch the solid arm', async () => {
    await page.evaluate(() => window.armkinPage.loadExample('offset_wrist_parallel.urdf'));
    await page.click('#branches tbody tr[data-branch="5"]');
    const s = await state();
    assert.deepEqual(s.q, s.branches[5].joints);
    assert.equal(s.nearest, 5);
    assert.equal(await page.getAttribute('#branches tbody tr[data-branch="5"]', 'class'), 'nearest');
  });

  test('a joint slider moves the solid arm, and the target follows its tool as armkin fk puts it', async () => {
    await page.evaluate(() => window.armkinPage.loadExample('cylindrical_sliding.urdf'));
    for (const [k, value] of [[0, -1.1], [1, 0.05], [5, 2.5]]) {
      await page.locator(`#joints input[data-joint="${k}"]`).evaluate((input, v) => {
        input.value = v;
        input.dispatchEvent(new Event('input'));
      }, value);
    }
    const s = await state();
    assert.equal(s.q[0], Number((await page.locator('#joints input[data-joint="0"]').inputValue())));
    const want = armkin(['fk', '--arm', join(args.arms, 'cylindrical_sliding.urdf')], s.q.map((v) => v.toPrecision(17)).join(' '))
      .trim().split(/\s+/).map(Number);
    const got = [...s.target.position, ...s.target.rotation.flat()];
    got.forEach((v, i) => assert.ok(Math.abs(v - want[i]) <= jointTolerance, `pose entry ${i}: page ${v}, armkin ${want[i]}`));
    assert.ok(s.branches.length > 0 && s.nearest >= 0);
    assert.ok(s.branches[s.nearest].joints.every((q, k) => Math.abs(q - s.q[k]) < 1e-9), 'the solid arm is not on a branch');
  });

  test('a pose without solution shows the reason and draws no branch', async () => {
    const far = { position: [0, 0, 9], rotation: [[1, 0, 0], [0, 1, 0], [0, 0, 1]] };
    for (const [file, reason] of [['', /beyond the arm's reach/], ['cylindrical_sliding.yaml', /outside the joint limits/]]) {
      await page.evaluate((f) => window.armkinPage.loadExample(f), file);
      const s = await page.evaluate((p) => { window.armkinPage.setTarget(p); return window.armkinPage.state(); }, far);
      assert.equal(s.branches.length, 0);
      assert.equal(s.drawn, 0);
      assert.match(s.message, reason);
    }
  });

  const urdf = (joints) => `<robot name="r"><link name="l0"/>${joints.map((j, i) => `<link name="l${i + 1}"/>
<joint name="j${i}" type="${j}"><parent link="l${i}"/><child link="l${i + 1}"/><origin xyz="0 0 0.1"/><axis xyz="0 0 1"/><limit lower="-1" upper="1" effort="1" velocity="1"/></joint>`).join('')}</robot>`;
  const frames = (row2) => `frames:\n  joints:\n${[0, 1, 2, 3, 4, 5].map((k) => (k === 2 ? row2
    : `    - {type: R, origin: [0, 0, ${k}], x: [1, 0, 0], y: [0, 1, 0], z: [0, 0, 1]}`)).join('\n')}\n  tool: {origin: [0, 0, 6], x: [1, 0, 0], y: [0, 1, 0], z: [0, 0, 1]}\n`;
  const dh = (row0, types = 'RRRRR') => `dh:\n  convention: standard\n  joints:\n${row0}\n${[...types].map((t) => `    - {type: ${t}, a: 0.1, alpha: 0, d: 0, theta: 0}\n`).join('')}`;
  // Each shows the native loaders' message (`armkin check`), word for word,
  // but for the parsers' own words on broken syntax.
  const badFiles = [
    ['five.urdf', urdf(['revolute', 'revolute', 'revolute', 'revolute', 'revolute'])],
    ['wrist.urdf', urdf(['revolute', 'revolute', 'revolute', 'prismatic', 'revolute', 'revolute'])],
    ['planar.urdf', urdf(['revolute', 'planar', 'revolute', 'revolute', 'revolute', 'revolute'])],
    ['broken.urdf', '<robot name="r">\n<link name="a">\n</robot>\n', 'malformed XML'],
    ['typo.yaml', dh('    - {type: R, a: 0, alfa: 0, d: 0, theta: 0}')],
    ['degrees.yaml', frames('    - {type: R, origin: [0, 0, 2], x: [1, 0, 0], y: [0, 1, 0], z: [0, 0, 1], limits: [-170, 170]}')],
    ['skew.yaml', frames('    - {type: R, origin: [0, 0, 2], x: [1, 0, 0], y: [0.1, 1, 0], z: [0, 0, 1]}')],
    ['nan.yaml', dh('    - {type: R, a: .nan, alpha: 0, d: 0, theta: 0}')],
    ['sliding.yaml', dh('    - {type: R, a: 0, alpha: 0, d: 0, theta: 0}', 'RRRSR')],
    ['flow.yaml', 'dh: [1, 2\n', 'malformed YAML'],
  ];
  /** What the page should say about a bad file: the native message, or file and the parser's kind of fault. */
  function expectedMessage(file, text, syntax) {
    if (syntax) return `${file}:`;
    const path = join(args.out, file);
    writeFileSync(path, text);
    try {
      armkin(['check', path]);
    } catch (e) {
      return e.stderr.trim().replace(/^armkin: /, '').replace(path, file);
    }
    assert.fail(`armkin check accepts ${file}`);
    return '';
  }
  test('a bad file shows its reason and keeps the arm', async () => {
    await page.evaluate(() => window.armkinPage.loadExample('spherical_wrist_offsets.yaml'));
    for (const [file, text, syntax] of badFiles) {
      const reason = expectedMessage(file, text, syntax);
      assert.equal(await page.evaluate(([t, f]) => window.armkinPage.loadText(t, f), [text, file]), false, file);
      const s = await state();
      const shown = s.message.replace(/^Cannot use this file: /, '');
      if (syntax) assert.ok(shown.startsWith(reason) && shown.includes(syntax), `${file}: shows "${shown}"`);
      else assert.equal(shown, reason, file);
      assert.equal(s.file, 'spherical_wrist_offsets.yaml');
    }
    // The same through a drop on the page, as a person gives a file.
    const [file, text] = badFiles[4];
    const reason = expectedMessage(file, text);
    await page.evaluate(([t, f]) => {
      const data = new DataTransfer();
      data.items.add(new File([t], f));
      document.getElementById('view').dispatchEvent(new DragEvent('drop', { dataTransfer: data, bubbles: true, cancelable: true }));
    }, [text, file]);
    await page.waitForFunction((r) => window.armkinPage.state().message.includes(r), reason);
    assert.deepEqual(problems, []);
  });
});
