// The 3-D view: renderer, a Z-up camera turned with the mouse, floor grid,
// the target frame with its move/turn handles, and the arms. Branches are
// translucent figures in their colours; the current joints one solid figure.

import * as THREE from 'three';
import { OrbitControls } from 'three/examples/jsm/controls/OrbitControls.js';
import { TransformControls } from 'three/examples/jsm/controls/TransformControls.js';
import { poseMatrix } from './arm_figure.js';

/** Distinct colours for the branches: hues a golden angle apart. */
export function branchColor(i) {
  return new THREE.Color().setHSL(((i * 0.381966) + 0.02) % 1, 0.75, i < 8 ? 0.5 : 0.35);
}

/** Opacity of the branches not chosen. */
const branchOpacity = 0.4;

export class ArmScene {
  constructor(container) {
    this.container = container;
    this.renderer = new THREE.WebGLRenderer({ antialias: true });
    this.renderer.setPixelRatio(window.devicePixelRatio);
    container.appendChild(this.renderer.domElement);
    this.scene = new THREE.Scene();
    this.scene.background = new THREE.Color(0xf4f5f7);
    this.camera = new THREE.PerspectiveCamera(40, 1, 0.01, 1000);
    this.camera.up.set(0, 0, 1);
    this.scene.add(new THREE.HemisphereLight(0xffffff, 0x8890a0, 2.2));
    const sun = new THREE.DirectionalLight(0xffffff, 1.6);
    sun.position.set(3, -4, 6);
    this.scene.add(sun);
    this.orbit = new OrbitControls(this.camera, this.renderer.domElement);
    this.orbit.addEventListener('change', () => this.render());

    this.target = new THREE.Group();
    this.target.matrixAutoUpdate = true;
    this.scene.add(this.target);
    this.handles = new TransformControls(this.camera, this.renderer.domElement);
    this.handles.setSpace('local');
    this.handles.attach(this.target);
    this.scene.add(this.handles.getHelper());
    this.handles.addEventListener('dragging-changed', (e) => { this.orbit.enabled = !e.value; });
    this.handles.addEventListener('change', () => this.render());

    this.branchGroup = new THREE.Group();
    this.scene.add(this.branchGroup);
    this.figures = [];
    this.current = null;
    new ResizeObserver(() => this.resize()).observe(container);
    this.resize();
  }

  /** Sizes the floor, the target and the view for an arm of this reach. */
  setArm(reach, makeFigure) {
    this.makeFigure = makeFigure;
    for (const f of this.figures) this.branchGroup.remove(f.group);
    this.figures = [];
    if (this.current) this.scene.remove(this.current.group);
    this.current = makeFigure();
    this.scene.add(this.current.group);
    if (this.grid) this.scene.remove(this.grid);
    const step = 10 ** Math.floor(Math.log10(reach / 2));
    const cells = Math.ceil((2.4 * reach) / step);
    this.grid = new THREE.GridHelper(cells * step, cells, 0xb0b4bc, 0xd8dbe0);
    this.grid.rotation.x = Math.PI / 2;
    this.scene.add(this.grid);
    this.target.clear();
    this.target.add(frameAxes(0.25 * reach));
    this.handles.size = 0.9;
    this.camera.near = reach / 200;
    this.camera.far = reach * 100;
    this.camera.updateProjectionMatrix();
    this.orbit.update();
  }

  /** Turns the view to these points (an arm's joints), from the front right and above. */
  frame(points, reach) {
    const box = new THREE.Box3().setFromPoints(points.map((p) => new THREE.Vector3(...p)));
    const centre = box.getCenter(new THREE.Vector3());
    const radius = Math.max(box.getSize(new THREE.Vector3()).length() / 2, 0.3 * reach);
    this.orbit.target.copy(centre);
    this.camera.position.copy(centre).addScaledVector(new THREE.Vector3(0.55, -0.72, 0.42).normalize(), 4.2 * radius);
    this.orbit.update();
  }

  /** Puts the target frame at a pose. */
  setTarget(pose) {
    poseMatrix(pose).decompose(this.target.position, this.target.quaternion, this.target.scale);
    this.target.updateMatrixWorld(true);
  }

  /** The target frame's pose as the library takes it. */
  targetPose() {
    this.target.updateMatrixWorld(true);
    const e = this.target.matrixWorld.elements;  // column-major
    return {
      position: [e[12], e[13], e[14]],
      rotation: [[e[0], e[4], e[8]], [e[1], e[5], e[9]], [e[2], e[6], e[10]]],
    };
  }

  /** Draws every branch translucent: each item {frames, q, color}. */
  showBranches(items) {
    while (this.figures.length < items.length) {
      const f = this.makeFigure();
      this.figures.push(f);
      this.branchGroup.add(f.group);
    }
    this.figures.forEach((f, i) => {
      f.group.visible = i < items.length;
      if (!f.group.visible) return;
      f.update(items[i].frames, items[i].q);
      f.setStyle(items[i].color, branchOpacity);
    });
  }

  /** Draws the current joints as the solid arm. */
  showCurrent(frames, q, color) {
    this.current.update(frames, q);
    this.current.setStyle(color, 1);
  }

  /** How many translucent branches are drawn. */
  drawnBranches() { return this.figures.filter((f) => f.group.visible).length; }

  /** Meshes of the arms drawn (translucent and solid), for the tests. */
  meshesDrawn() {
    let count = 0;
    for (const g of [this.branchGroup, this.current.group]) {
      g.traverseVisible((o) => { if (o.isMesh) count += 1; });
    }
    return count;
  }

  setHandleMode(mode) { this.handles.setMode(mode); this.render(); }

  /** Where the target's origin is on the page, in CSS pixels. */
  targetOnScreen() {
    const p = this.target.getWorldPosition(new THREE.Vector3()).project(this.camera);
    const r = this.renderer.domElement.getBoundingClientRect();
    return { x: r.left + ((p.x + 1) / 2) * r.width, y: r.top + ((1 - p.y) / 2) * r.height };
  }

  resize() {
    const w = this.container.clientWidth || 1;
    const h = this.container.clientHeight || 1;
    this.renderer.setSize(w, h);
    this.camera.aspect = w / h;
    this.camera.updateProjectionMatrix();
    this.render();
  }

  render() { this.renderer.render(this.scene, this.camera); }
}

/** The target's axes: red X, green Y, blue Z arrows. */
function frameAxes(length) {
  const g = new THREE.Group();
  const dirs = [[1, 0, 0, 0xe03030], [0, 1, 0, 0x20a040], [0, 0, 1, 0x3060e0]];
  for (const [x, y, z, c] of dirs) {
    g.add(new THREE.ArrowHelper(new THREE.Vector3(x, y, z), new THREE.Vector3(), length, c, 0.22 * length, 0.12 * length));
  }
  return g;
}
