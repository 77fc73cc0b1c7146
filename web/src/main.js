// The page: an arm in 3-D with every branch of the target pose drawn at
// once. Drag the target frame (move or turn), and the branches, the table
// and the solid arm (the current joints, tracked from the last ones)
// follow; move a joint slider, and the target follows the arm.

import { Arm, loadKinematics } from './kinematics.js';
import { ArmFileError, isUrdfName, readArmText, urdfHasVisuals } from './readers/read_arm.js';
import { StickFigure } from './view/arm_figure.js';
import { ArmScene, branchColor } from './view/scene.js';
import { UrdfFigure, urdfLoader } from './view/urdf_figure.js';
import { BranchTable } from './ui/branch_table.js';
import { JointSliders } from './ui/joint_sliders.js';

const $ = (id) => document.getElementById(id);

/** The arm the page opens on: the console's, without limits. */
const builtin = { file: 'built-in arm', values: { form: 'builtin', name: 'builtin' } };

/**
 * Joint values of the first target: an ordinary pose within the limits,
 * shoulder and elbow bent whichever way keeps the arm highest above its base.
 */
function homeJoints(arm) {
  const bends = [[0.5, 0.6], [-0.5, -0.6], [-0.5, 0.6], [0.5, -0.6], [-1.2, 0.9], [1.2, -0.9]];
  const candidates = bends.map(([shoulder, elbow]) => [...arm.types].map((t, k) => {
    const [lo, hi] = arm.limits[k];
    if (t === 'S') return Number.isFinite(lo) && Number.isFinite(hi) ? lo + 0.6 * (hi - lo) : 0;
    return Math.min(Math.max([0.4, shoulder, elbow, 0.3, 0.7, 0.2][k], lo), hi);
  }));
  const lowest = (q) => Math.min(...arm.frames(q).slice(1).map((f) => f.position[2]));
  return candidates.reduce((best, q) => (lowest(q) > lowest(best) + 1e-9 ? q : best));
}

/** Turning joints compared modulo a turn: the distance of two joint vectors. */
function jointDistance(a, b, types) {
  let sum = 0;
  for (let k = 0; k < 6; ++k) {
    let d = a[k] - b[k];
    if (types[k] === 'R') d -= 2 * Math.PI * Math.round(d / (2 * Math.PI));
    sum += d * d;
  }
  return Math.sqrt(sum);
}

/**
 * The line of the entry the library's reason names: a URDF joint by name
 * ("joint 'elbow' ..."), a frames file's joint, base or tool by place
 * ("joint 2: ..."); 0 when it names none.
 */
function reasonLine(values, reason) {
  const urdf = values.chain?.find((j) => reason.startsWith(`joint '${j.name}'`));
  if (urdf) return urdf.line;
  const entry = /^(joint (\d)|base|tool):/.exec(reason);
  if (!entry || values.form !== 'frames') return 0;
  const at = entry[2] !== undefined ? values.joints[Number(entry[2])] : values[entry[1]];
  return at?.line ?? 0;
}

/** How far the arm reaches: the length of its chain at zero, and a floor. */
function armReach(arm) {
  const frames = arm.frames([0, 0, 0, 0, 0, 0]);
  let length = 0;
  for (let i = 0; i < 7; ++i) {
    length += Math.hypot(...frames[i + 1].position.map((v, c) => v - frames[i].position[c]));
  }
  return Math.max(length, 0.1);
}

class Page {
  constructor(module) {
    this.arm = new Arm(module);
    this.scene = new ArmScene($('view'));
    this.table = new BranchTable($('branches'), (i) => this.pickBranch(i));
    this.sliders = new JointSliders($('joints'), (q) => this.moveJoints(q));
    this.branches = [];
    this.q = [0, 0, 0, 0, 0, 0];
    this.scene.handles.addEventListener('objectChange', () => this.moveTarget(this.scene.targetPose()));
  }

  /** Reads a file's text and sets its arm up; false (and the reason shown) when it cannot. */
  load(text, file, meshFiles = new Map()) {
    let values;
    try {
      values = readArmText(text, file);
    } catch (e) {
      this.showError(e instanceof ArmFileError ? e.describe() : `${file}: ${e.message}`);
      return false;
    }
    const missing = new Set();
    const noteMissing = (name) => {
      if (missing.has(name)) return;
      missing.add(name);
      this.note = `Mesh files not given or not readable: ${[...missing].join(', ')}. Drop them together with the URDF; the links are drawn without them.`;
      if (this.branches.length) this.showMessage(this.note, 'warning');
    };
    const figure = isUrdfName(file) && urdfHasVisuals(text) ? { loader: urdfLoader(meshFiles, noteMissing), text } : null;
    return this.install(values, file, figure);
  }

  install(values, file, urdf) {
    const reason = this.arm.setUp(values);
    if (reason) {
      this.showError(new ArmFileError(file, reasonLine(values, reason), reason).describe());
      return false;
    }
    this.file = file;
    this.note = '';
    const arm = this.arm;
    this.reach = armReach(arm);
    const size = this.reach * 0.012;
    this.scene.setArm(this.reach, urdf
      ? () => new UrdfFigure(urdf.loader, urdf.text, arm.jointNames)
      : () => new StickFigure(arm.types, size));
    this.sliders.setArm(arm.types, arm.jointNames, arm.limits, this.reach);
    const named = !arm.name || file === builtin.file || arm.name === file.replace(/\.\w+$/, '');
    $('arm-name').textContent = `${arm.name || file} — ${arm.types}${named ? '' : ` (${file})`}`;
    showInMenu(file);
    const home = homeJoints(arm);
    this.scene.frame(arm.frames(home).map((f) => f.position), this.reach);
    this.moveJoints(home);
    return true;
  }

  /** The target moved (dragged or set): solve, and track the current joints. */
  moveTarget(pose) {
    this.target = pose;
    const tracked = this.arm.track(pose, this.q);
    if (tracked) this.q = tracked.joints;
    this.refresh();
  }

  /** A slider moved: the arm takes the joints, the target follows its tool. */
  moveJoints(q) {
    this.q = [...q];
    this.target = this.arm.forward(this.q);
    this.scene.setTarget(this.target);
    this.refresh();
  }

  /** A branch was clicked: it becomes the current joints, the solid arm. */
  pickBranch(i) {
    if (!this.branches[i]) return;
    this.q = [...this.branches[i].joints];
    this.refresh();
  }

  refresh() {
    const result = this.arm.solve(this.target);
    this.branches = result.branches;
    const types = this.arm.types;
    const colors = this.branches.map((_, i) => branchColor(i));
    this.nearest = -1;
    let best = Infinity;
    this.branches.forEach((b, i) => {
      const d = jointDistance(b.joints, this.q, types);
      if (d < best) { best = d; this.nearest = i; }
    });
    // The branch the solid arm stands on is drawn by the solid arm alone.
    const onBranch = this.nearest >= 0 && best < 1e-6;
    const shown = this.branches.map((b, i) => ({ frames: this.arm.frames(b.joints), q: b.joints, color: colors[i] }))
      .filter((_, i) => !(onBranch && i === this.nearest));
    this.scene.showBranches(shown);
    this.onBranch = onBranch;
    // The solid arm wears the colour of the branch nearest it (grey with none).
    const solid = this.nearest >= 0 ? colors[this.nearest] : '#8a8f98';
    this.scene.showCurrent(this.arm.frames(this.q), this.q, solid);
    this.table.show(this.branches, types, this.arm.jointNames, colors.map((c) => `#${c.getHexString()}`), this.nearest);
    this.sliders.show(this.q);
    $('count').textContent = `${this.branches.length} branch${this.branches.length === 1 ? '' : 'es'}`;
    if (this.branches.length === 0) {
      this.showMessage(`No solution for this pose: ${result.reason}. The solid arm keeps its last joints.`, 'warning');
    } else {
      this.showMessage(this.note, 'warning');
    }
    this.scene.render();
  }

  showMessage(text, kind = 'info') {
    const box = $('message');
    box.textContent = text;
    box.className = text ? kind : '';
  }

  showError(text) { this.showMessage(`Cannot use this file: ${text}`, 'error'); }
}

/** The menu names the arm shown: an example, or a file of the user's own. */
function showInMenu(file) {
  const menu = $('arm-menu');
  const example = [...menu.options].find((o) => o.value === file || (!o.value && file === builtin.file));
  menu.querySelector('option.own')?.remove();
  if (example) {
    menu.value = example.value;
    return;
  }
  const own = document.createElement('option');
  own.className = 'own';
  own.value = `own:${file}`;
  own.textContent = file;
  menu.appendChild(own);
  menu.value = own.value;
}

async function loadExampleText(file) {
  const response = await fetch(`arms/${encodeURIComponent(file)}`);
  if (!response.ok) throw new Error(`cannot fetch ${file}: ${response.status}`);
  return response.text();
}

/** Dropped or picked files: the arm file and, for a URDF, its meshes by name. */
async function loadFiles(page, files) {
  const list = [...files];
  const armFile = list.find((f) => /\.(urdf|xml|ya?ml)$/i.test(f.name));
  if (!armFile) {
    page.showError(`no arm file among ${list.map((f) => f.name).join(', ')} (.urdf, .xml, .yaml)`);
    return false;
  }
  const meshes = new Map(list.filter((f) => f !== armFile).map((f) => [f.name, URL.createObjectURL(f)]));
  const loaded = page.load(await armFile.text(), armFile.name, meshes);
  // The meshes of the arm shown stay readable; those of the arm before, or of a refused file, go.
  const drop = loaded ? page.meshUrls : meshes;
  for (const url of drop?.values() ?? []) URL.revokeObjectURL(url);
  if (loaded) page.meshUrls = meshes;
  return loaded;
}

async function start() {
  const page = new Page(await loadKinematics());
  const examples = await fetch('arms/index.json').then((r) => r.json()).catch(() => []);
  const menu = $('arm-menu');
  for (const file of ['', ...examples]) {
    const option = document.createElement('option');
    option.value = file;
    option.textContent = file || builtin.file;
    menu.appendChild(option);
  }
  const loadExample = async (file) => (file ? page.load(await loadExampleText(file), file) : page.install(builtin.values, builtin.file, null));
  menu.addEventListener('change', () => { if (!menu.value.startsWith('own:')) loadExample(menu.value); });
  $('pick').addEventListener('change', (e) => loadFiles(page, e.target.files));
  document.addEventListener('dragover', (e) => { e.preventDefault(); document.body.classList.add('dropping'); });
  document.addEventListener('dragleave', () => document.body.classList.remove('dropping'));
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    document.body.classList.remove('dropping');
    loadFiles(page, e.dataTransfer.files);
  });
  for (const mode of ['translate', 'rotate']) {
    $(mode).addEventListener('click', () => {
      page.scene.setHandleMode(mode);
      for (const m of ['translate', 'rotate']) $(m).classList.toggle('active', m === mode);
    });
  }
  window.addEventListener('keydown', (e) => {
    if (e.key === 'r' || e.key === 't') $(e.key === 'r' ? 'rotate' : 'translate').click();
  });
  await loadExample('');

  // For the browser tests and the curious: the page's state and entry points.
  window.armkinPage = {
    examples,
    loadExample,
    loadText: (text, file) => page.load(text, file),
    setTarget: (pose) => { page.scene.setTarget(pose); page.moveTarget(pose); return page.branches; },
    solve: (pose) => page.arm.solve(pose),
    state: () => ({
      file: page.file, name: page.arm.name, types: page.arm.types, limits: page.arm.limits, q: page.q, target: page.target,
      branches: page.branches, nearest: page.nearest,
      // Arms drawn for the branches: the translucent ones and the solid one standing on a branch.
      drawn: page.scene.drawnBranches() + (page.onBranch ? 1 : 0),
      message: $('message').textContent,
    }),
    targetOnScreen: () => page.scene.targetOnScreen(),
    meshesDrawn: () => page.scene.meshesDrawn(),
    /** Microseconds per solve of each pose, the best of `rounds` runs of `repeats`. */
    timeSolves: (poses, repeats, rounds) => {
      let best = Infinity;
      for (let r = 0; r < rounds; ++r) {
        const t0 = performance.now();
        for (let i = 0; i < repeats; ++i) for (const p of poses) page.arm.solve(p);
        best = Math.min(best, performance.now() - t0);
      }
      return (1000 * best) / (repeats * poses.length);
    },
  };
  document.body.dataset.ready = 'true';
}

start().catch((e) => {
  $('message').textContent = `The page could not start: ${e.message}`;
  $('message').className = 'error';
  throw e;
});
